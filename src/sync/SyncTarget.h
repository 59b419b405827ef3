// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a linked bookmark file lives: a path (a folder another program keeps in step) or a
// WebDAV address. Both hold a writer's lock the way browser extensions do: a file at the
// address + ".lock", taken over when its time is older than kStaleLockAge, refreshed every
// kLockRefresh while held, removed when done.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace brindle {

inline constexpr std::chrono::seconds kStaleLockAge{15 * 60};
inline constexpr std::chrono::seconds kLockRefresh{2 * 60};

struct TargetResult {
    bool ok = false;
    std::string error; // why not, for the user
    static TargetResult Ok() { return {true, {}}; }
    static TargetResult Fail(std::string why) { return {false, std::move(why)}; }
};

// A file's size and time of last change, to tell without reading it that it has not changed.
struct TargetStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
};

class SyncTarget {
  public:
    virtual ~SyncTarget() = default;

    // The address as the user gave it.
    virtual std::string Address() const = 0;

    // Reads the whole file; `exists` false (and ok) when there is none yet.
    virtual TargetResult Read(std::string& bytes, bool& exists) = 0;
    // The file's stamp; false when there is no file or the target cannot tell cheaply.
    virtual bool Stamp(TargetStamp& stamp) {
        (void)stamp;
        return false;
    }
    // Replaces the whole file in one step.
    virtual TargetResult Write(std::string_view bytes) = 0;
    // The same, with the bytes made part by part: `produce` hands each part, in order, to `put`
    // (a target that can writes them as they come, rather than holding the whole file).
    using PartSink = std::function<void(std::string_view part)>;
    virtual TargetResult WriteParts(const std::function<void(const PartSink& put)>& produce) {
        std::string bytes;
        produce([&bytes](std::string_view part) { bytes.append(part); });
        return Write(bytes);
    }

    // Takes the writer's lock, waiting up to `wait` while another writer holds a fresh one.
    virtual TargetResult Lock(std::chrono::milliseconds wait) = 0;
    // Writes the lock again when it is older than kLockRefresh (long syncs).
    virtual void RefreshLock() = 0;
    virtual void Unlock() = 0;
};

// The text of a lock this program writes: it names the host and process, so that a lock left by
// a process of this host that no longer runs is taken over at once.
std::string LockText();
// Whether `text` is a lock of this host whose process is gone.
bool IsOwnDeadLock(std::string_view text);

// A linked file on a path.
std::unique_ptr<SyncTarget> MakeFileTarget(const std::string& path);

// Whether an address names a WebDAV file rather than a path.
bool IsWebAddress(std::string_view address);

} // namespace brindle
