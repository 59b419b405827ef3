// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PageFetchers.h"

namespace brindle::cli {

std::unique_ptr<PageFetcher> MakeCliPageFetcher(const CPreferences&, int) {
    // Whole-page fetching comes with the HTTP engine; until it is part of the build there is
    // none, and the archive command says so.
    return nullptr;
}

} // namespace brindle::cli
