// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncState.h"

#include "exchange/ExchangeFiles.h"
#include "store/AtomicFile.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace brindle {

namespace {

constexpr std::string_view kMagic = "brindle-link 1";

void AppendField(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
        if (tab == std::string_view::npos)
            return parts;
        from = tab + 1;
    }
}

template <typename T> bool Number(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

std::uint64_t HashBytes(std::string_view bytes) {
    // 64-bit multiply-mix over 8-byte words, then the tail.
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = 0xCBF29CE484222325ull ^ (bytes.size() * kMul);
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i)
        h = (h ^ static_cast<unsigned char>(bytes[i])) * 0x100000001B3ull;
    h ^= h >> 32;
    return h * kMul;
}

std::string SyncStateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path base;
    if (state && *state == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "state";
    }
    return (base / "brindle" / "links").string();
}

std::string SyncStatePath(const std::string& documentPath) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::weakly_canonical(documentPath, ec);
    if (ec)
        absolute = std::filesystem::absolute(documentPath, ec);
    const std::string key = absolute.string();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(HashBytes(key)));
    // The document's name first, for the people who look into the folder.
    std::string name = absolute.filename().string();
    if (name.size() > 64)
        name.resize(64);
    return (std::filesystem::path(SyncStateFolder()) / (name + '-' + hex + ".link")).string();
}

bool LoadSyncState(const std::string& path, SyncState& state, bool headerOnly) {
    state = {};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return false;
    while (std::getline(in, line)) {
        const std::vector<std::string_view> parts = SplitTabs(line);
        const std::string_view key = parts[0];
        if (key == "B") {
            if (headerOnly)
                break;
            if (parts.size() != 5)
                return false;
            state.entries.push_back(
                {Unescape(parts[1]), Unescape(parts[2]), Unescape(parts[3]), Unescape(parts[4])});
        } else if (key == "target" && parts.size() == 2) {
            state.target = Unescape(parts[1]);
        } else if (key == "synced" && parts.size() == 2) {
            state.synced = parts[1] == "1";
        } else if (key == "document" && parts.size() == 4) {
            if (!Number(parts[1], state.docSize) || !Number(parts[2], state.docModifiedNs) ||
                !Number(parts[3], state.docHash))
                return false;
        } else if (key == "interval" && parts.size() == 2) {
            if (!Number(parts[1], state.intervalMinutes) || state.intervalMinutes < 1)
                state.intervalMinutes = kDefaultSyncMinutes;
        } else if (key == "file" && parts.size() == 2) {
            if (!Number(parts[1], state.fileHash))
                return false;
        } else if (key == "end") {
            return true;
        }
    }
    // A file without its end line was cut short; only a header read may stop early.
    return headerOnly;
}

bool SaveSyncState(const std::string& path, const SyncState& state) {
    if (!CreateFolderChain(FolderOfPath(path)))
        return false;
    std::string out;
    out.reserve(64 + state.entries.size() * 96);
    out += kMagic;
    out += "\ntarget\t";
    AppendField(out, state.target);
    out += "\ninterval\t" + std::to_string(state.intervalMinutes);
    out += "\nsynced\t";
    out += state.synced ? '1' : '0';
    out += "\ndocument\t" + std::to_string(state.docSize) + '\t' +
           std::to_string(state.docModifiedNs) + '\t' + std::to_string(state.docHash);
    out += "\nfile\t" + std::to_string(state.fileHash) + '\n';
    for (const SyncBaseEntry& e : state.entries) {
        out += "B\t";
        AppendField(out, e.id);
        out += '\t';
        AppendField(out, e.name);
        out += '\t';
        AppendField(out, e.url);
        out += '\t';
        AppendField(out, e.folder);
        out += '\n';
    }
    out += "end\n";
    return WriteFileAtomically(path, out) == 0;
}

} // namespace brindle

namespace brindle {

bool LinkDocument(const std::string& documentPath, const std::string& target, int intervalMinutes,
                  bool* known) {
    const std::string path = SyncStatePath(documentPath);
    SyncState state;
    const bool same = LoadSyncState(path, state) && state.target == target;
    if (!same) {
        state = {};
        state.target = target;
    }
    state.intervalMinutes = intervalMinutes > 0 ? intervalMinutes : kDefaultSyncMinutes;
    if (known)
        *known = same;
    return SaveSyncState(path, state);
}

bool UnlinkDocument(const std::string& documentPath) {
    std::error_code ec;
    std::filesystem::remove(SyncStatePath(documentPath), ec);
    return !ec;
}

std::string LinkedTarget(const std::string& documentPath, int* intervalMinutes) {
    SyncState state;
    if (!LoadSyncState(SyncStatePath(documentPath), state, true))
        return {};
    if (intervalMinutes)
        *intervalMinutes = state.intervalMinutes;
    return state.target;
}

} // namespace brindle
