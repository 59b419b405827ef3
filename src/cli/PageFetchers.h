// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page fetcher the archive command uses: the HTTP engine with the link checks' politeness,
// proxy and retry rules.

#include "status/PageFetcher.h"
#include "store/Preferences.h"

#include <memory>

namespace brindle::cli {

// Nothing when this build has no engine that fetches whole pages.
std::unique_ptr<PageFetcher> MakeCliPageFetcher(const CPreferences& prefs, int timeoutMs);

} // namespace brindle::cli
