// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the address normal forms: any bytes give a key without a crash, a normal
// form is its own normal form, and the loose form of a normal form is the address's loose form.

#include "store/UrlNormalForm.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const std::string same = brindle::SameUrlKey(url);
    const std::string likely = brindle::LikelyUrlKey(url);
    if (brindle::SameUrlKey(same) != same || brindle::LikelyUrlKey(likely) != likely)
        std::abort();
    if (brindle::LikelyUrlKey(same) != likely)
        std::abort();
    return 0;
}
