// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Version.h"

namespace brindle {

const char* Version() {
    return BRINDLE_VERSION;
}

} // namespace brindle
