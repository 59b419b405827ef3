// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the document file's 16-bit strings: the fast UTF-16LE to UTF-8
// conversion must give exactly what the plain one gives, on any units (lone surrogates
// included), and say "ASCII" exactly when the result is.

#include "store/ArchiveText.h"
#include "store/TextUtil.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const std::size_t units = size / 2;
    const std::string expected = brindle::Utf16LEToUtf8Reference(bytes, units);
    // A buffer of exactly the promised room, so that writing past it is caught.
    const std::size_t room = brindle::Utf8BytesFor(units);
    const std::unique_ptr<char[]> out(new char[room]);
    const std::size_t n = brindle::Utf16LEToUtf8(bytes, units, out.get());
    if (n != expected.size() || (n && std::memcmp(out.get(), expected.data(), n) != 0))
        std::abort();
    if ((n == units) != brindle::IsAscii(expected))
        std::abort();
    return 0;
}
