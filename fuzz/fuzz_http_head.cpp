// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the reader of HTTP answer heads that the check's own sockets use. The first
// byte chooses the size of the pieces the rest arrives in, as a socket delivers it, and a line
// limit small enough for short inputs to reach. The reader takes every byte it is given while
// the head goes on and nothing once it has ended, and reads the same head whether the bytes
// arrive at once or piece by piece.

#include "platform/net/HttpHead.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using brindle::HttpHeadReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const qsizetype step = 1 + data[0] % 61;
    const qsizetype maxLine = 16 + data[0] % 97;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1,
                               static_cast<qsizetype>(size - 1));

    HttpHeadReader whole(maxLine);
    const qsizetype usedWhole = whole.Feed(bytes);
    if (usedWhole < 0 || usedWhole > bytes.size())
        std::abort();
    if (whole.GetState() == HttpHeadReader::State::Reading && usedWhole != bytes.size())
        std::abort();

    HttpHeadReader pieces(maxLine);
    qsizetype used = 0;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        const QByteArrayView piece = bytes.sliced(at, std::min(step, bytes.size() - at));
        const qsizetype n = pieces.Feed(piece);
        if (n < 0 || n > piece.size())
            std::abort();
        used += n;
        if (pieces.GetState() != HttpHeadReader::State::Reading)
            break;
        if (n != piece.size())
            std::abort();
    }
    if (pieces.GetState() != whole.GetState())
        std::abort();
    if (pieces.GetState() != HttpHeadReader::State::Reading && pieces.Feed(bytes) != 0)
        std::abort();
    if (whole.GetState() == HttpHeadReader::State::Done) {
        if (used != usedWhole || !(pieces.Head() == whole.Head()))
            std::abort();
        const int status = whole.Head().status;
        if (status < 0 || status > 999 || (status >= 100 && status < 200))
            std::abort();
        if (whole.Head().contentLength < -1)
            std::abort();
    }
    return 0;
}
