// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncState.h"

#include "exchange/ExchangeFiles.h"
#include "store/AtomicFile.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>

namespace brindle {

namespace {

constexpr std::string_view kMagic = "brindle-link 2";
// The first version kept every text of the base; it is read and converted.
constexpr std::string_view kMagicV1 = "brindle-link 1";
constexpr std::size_t kEntryBytes = 28;

void PutWord(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetWord(const char* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
    return value;
}

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

namespace {
constexpr std::uint64_t kPartMul = 0x9E3779B97F4A7C15ull;

std::uint64_t MixWord(std::uint64_t h, const char* word) {
    std::uint64_t w;
    std::memcpy(&w, word, 8);
    h = (h ^ w) * kPartMul;
    return h ^ (h >> 29);
}
} // namespace

void PartHash::Add(std::string_view bytes) {
    m_size += bytes.size();
    if (m_tailSize != 0) {
        const std::size_t take = std::min(bytes.size(), 8 - m_tailSize);
        std::memcpy(m_tail + m_tailSize, bytes.data(), take);
        m_tailSize += take;
        bytes.remove_prefix(take);
        if (m_tailSize < 8)
            return;
        m_hash = MixWord(m_hash, m_tail);
        m_tailSize = 0;
    }
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8)
        m_hash = MixWord(m_hash, bytes.data() + i);
    m_tailSize = bytes.size() - i;
    std::memcpy(m_tail, bytes.data() + i, m_tailSize);
}

std::uint64_t PartHash::Value() const {
    std::uint64_t h = m_hash;
    for (std::size_t i = 0; i < m_tailSize; ++i)
        h = (h ^ static_cast<unsigned char>(m_tail[i])) * 0x100000001B3ull;
    h ^= m_size * kPartMul;
    h ^= h >> 32;
    return h * kPartMul;
}

std::uint64_t HashParts(std::string_view bytes) {
    PartHash hash;
    hash.Add(bytes);
    return hash.Value();
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
    std::string bytes;
    // The header comes first and is short; the base after it may take megabytes.
    constexpr std::size_t kHeaderBytes = 64 * 1024;
    bool whole = !headerOnly;
    if (headerOnly) {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        bytes.resize(kHeaderBytes);
        in.read(bytes.data(), kHeaderBytes);
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        whole = bytes.size() == kHeaderBytes && bytes.find("\nF\t") == std::string::npos &&
                bytes.find("\nbase\t") == std::string::npos &&
                bytes.find("\nB\t") == std::string::npos &&
                bytes.find("\nend\n") == std::string::npos;
    }
    if (whole && !ReadWholeFile(path, bytes))
        return false;
    std::string_view rest = bytes;
    auto nextLine = [&rest](std::string_view& line) {
        if (rest.empty())
            return false;
        const std::size_t end = rest.find('\n');
        line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || (line != kMagic && line != kMagicV1))
        return false;
    const bool v1 = line == kMagicV1;
    std::unordered_map<std::string, std::uint32_t> v1Folders;
    while (nextLine(line)) {
        const std::vector<std::string_view> parts = SplitTabs(line);
        const std::string_view key = parts[0];
        if (key == "B" || key == "F" || key == "base") {
            if (headerOnly)
                return true;
        }
        if (key == "B" && v1) {
            if (parts.size() != 5)
                return false;
            const std::string folder = Unescape(parts[4]);
            const auto [at, fresh] =
                v1Folders.emplace(folder, static_cast<std::uint32_t>(state.folders.size()));
            if (fresh)
                state.folders.push_back(folder);
            state.entries.push_back({HashBytes(Unescape(parts[1])), HashBytes(Unescape(parts[2])),
                                     HashBytes(Unescape(parts[3])), at->second});
        } else if (key == "F" && parts.size() == 2) {
            state.folders.push_back(Unescape(parts[1]));
        } else if (key == "base" && parts.size() == 2) {
            std::size_t count = 0;
            if (!Number(parts[1], count) || count > rest.size() / kEntryBytes)
                return false;
            state.entries.resize(count);
            for (SyncBaseEntry& e : state.entries) {
                e.id = GetWord(rest.data(), 8);
                e.name = GetWord(rest.data() + 8, 8);
                e.url = GetWord(rest.data() + 16, 8);
                e.folder = static_cast<std::uint32_t>(GetWord(rest.data() + 24, 4));
                if (e.folder >= state.folders.size())
                    return false;
                rest.remove_prefix(kEntryBytes);
            }
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
        } else if (key == "file" && (parts.size() == 2 || parts.size() == 4)) {
            if (!Number(parts[1], state.fileHash))
                return false;
            if (parts.size() == 4 &&
                (!Number(parts[2], state.fileSize) || !Number(parts[3], state.fileModifiedNs)))
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
    out.reserve(256 + state.folders.size() * 32 + state.entries.size() * kEntryBytes);
    out += kMagic;
    out += "\ntarget\t";
    AppendField(out, state.target);
    out += "\ninterval\t" + std::to_string(state.intervalMinutes);
    out += "\nsynced\t";
    out += state.synced ? '1' : '0';
    out += "\ndocument\t" + std::to_string(state.docSize) + '\t' +
           std::to_string(state.docModifiedNs) + '\t' + std::to_string(state.docHash);
    out += "\nfile\t" + std::to_string(state.fileHash) + '\t' + std::to_string(state.fileSize) +
           '\t' + std::to_string(state.fileModifiedNs) + '\n';
    for (const std::string& folder : state.folders) {
        out += "F\t";
        AppendField(out, folder);
        out += '\n';
    }
    // The base in binary: a hundred thousand entries are read and written at every sync.
    out += "base\t" + std::to_string(state.entries.size()) + '\n';
    for (const SyncBaseEntry& e : state.entries) {
        PutWord(out, e.id, 8);
        PutWord(out, e.name, 8);
        PutWord(out, e.url, 8);
        PutWord(out, e.folder, 4);
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
