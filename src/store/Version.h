// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's version, from the build's project version (one place for About, brindle
// --version and brindle-cli --version).

namespace brindle {

const char* Version();

} // namespace brindle
