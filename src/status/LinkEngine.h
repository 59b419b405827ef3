// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// LinkEngine: the status check and the bulk fetch. Bookmarks are queued in order; the first
// entry is asked alone, and from its result on up to "ConnectMax" slots run at once (the window
// allows eight, the command line more), each result freeing its slot and the same pass refilling
// every free slot below the limit. Entries go host by host, the hosts with the most entries
// first (else in the order they first come): a free slot takes the next entry of the first host
// the prober calls ready (within its connections and its rate), so that a host's entries follow
// one another over the connections it already has instead of a new connection each. While every
// host begun waits for its rate, the next host begins; when none is left, an entry of a host with
// a connection to spare is asked and waits its turn in the prober. A busy host (it has all the
// requests it may have, or backs off) is asked again as soon as the prober says it is free.
// Results are applied in the order they arrive, to the bookmark found again by name and URL (a
// bookmark renamed or edited meanwhile loses its result). Stopping takes effect at the next
// result, which ends every slot.
//
// Beyond the classic rules: "ConnectMax" 0 runs one slot instead of stalling after the first
// entry; bookmarks queued but never answered get their previous status back when a run stops
// or ends; a time-out, a refused connection or an unparsable answer is asked once more after a
// short pause, and a 429 or 503 answer that names a Retry-After of at most 30 seconds is asked
// once more after that wait; a location replaces the URL as the server gave it, and only while
// "Repair links as they are found" is on; a 200 answer without a usable Last-Modified keeps the
// bookmark's time. With "CheckOlderDays" set, a check leaves out the bookmarks checked within
// that many days, so that a daily run costs little.

#include "status/Prober.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CBrindleDoc;

namespace brindle {

enum class LinkJob { Check, Fetch };

class LinkEngine {
  public:
    static constexpr int kSlotCount = 128;
    static constexpr int kRetryPauseMs = 1500;
    // The latest a host with all its connections in use is looked at again (see NextEntry).
    static constexpr std::chrono::milliseconds kLookAgain{50};
    static constexpr int kMaxRetryAfterSeconds = 30;

    // The status-bar texts of the check ("SC:" pane).
    static constexpr std::string_view kChecking = "SC:CHECKING";
    static constexpr std::string_view kCheckOff = "SC:CHECK OFF";
    static constexpr std::string_view kCheckingOff = "SC:Check OFF";

    struct Callbacks {
        // The check's texts for the "SC:" pane (the fetch shows none).
        std::function<void(std::string_view text)> broadcast;
        // Closes the session and opens a new one before a run; false when none could be had.
        std::function<bool()> openSession;
        // A result (or a restored status) changed bookmark `index`.
        std::function<void(std::uint32_t index)> applied;
        // The run started or ended (menu texts, check marks, a waiting command line).
        std::function<void()> runChanged;
    };

    LinkEngine(LinkJob job, CBrindleDoc& doc, Prober& prober, Callbacks callbacks = {});
    ~LinkEngine();
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    LinkJob Job() const { return m_job; }
    // A run is active: m_bChecking / m_bFetching.
    bool Running() const { return m_running; }
    bool QueueOpen() const { return m_queueOpen; }
    // No slot busy (a run that has ended, or never got going).
    bool Idle() const { return BusySlots() == 0; }

    // The F8 / F7 command: stops a running run; otherwise queues `selection` (collection
    // indices in row order) and launches. With nothing selected the check queues every
    // bookmark of the list shown; the fetch queues nothing.
    void Toggle(const std::vector<std::uint32_t>& selection);

    // --- The steps Toggle is made of ----------------------------------------------------
    void BeginQueue();
    // Queues one bookmark; false (with the check's broadcast) when it is skipped.
    bool Queue(std::uint32_t index);
    // Every bookmark of the active hit list, skipping silently those without URL (and, for the
    // check, with checking off).
    void QueueListed();
    void CloseQueue() { m_queueOpen = false; }
    // Opens the session and starts the first entry alone.
    void Launch();
    // The toggle while running: the next result ends every slot.
    void Stop();

    // A slot's result (from the prober's completion).
    void OnDone(int slot, ProbeResult result);

    // --- State, for the views and tests ------------------------------------------------------
    std::size_t QueueLength() const { return m_queue.size(); }
    std::size_t Launched() const { return m_launched; }
    std::size_t Completed() const { return m_completed; }
    int BusySlots() const;
    bool SlotBusy(int slot) const;

  private:
    struct Entry {
        std::string name;
        std::string url;
        std::string previousStatus;
        std::uint32_t hint; // the index it was queued from
    };
    struct Slot {
        bool busy = false;
        std::size_t entry = 0;
        int attempts = 0;
    };

    void Broadcast(std::string_view text);
    // A check skips bookmarks checked within the last "CheckOlderDays" days (when set).
    bool CheckedRecently(std::uint32_t index) const;
    void LaunchEntry(std::size_t entry, int slot);
    // The entries not launched yet of one host, in queue order.
    struct Run {
        std::string host;
        std::deque<std::size_t> entries;
        // A host found not ready is not asked again before then, unless one of its requests
        // ends: with many hosts begun, asking each of them for every free slot costs more than
        // the request.
        std::chrono::steady_clock::time_point nextLook{};
    };
    using RunList = std::list<Run>;

    // The next entry to launch (see above); -1 when every one left waits for its host.
    std::int64_t NextEntry();
    // Takes the first entry of `run`.
    std::size_t TakeFrom(RunList::iterator run);
    // Groups the queue by host.
    void MakeRuns();
    void Refill();
    void Teardown();
    void FinishRun();
    // The first bookmark whose name and URL are the entry's, or -1.
    std::int64_t Find(const Entry& entry);
    void ApplyCheck(const Entry& entry, const ProbeResult& result);
    void ApplyFetch(const Entry& entry, const ProbeResult& result);
    // Gives entries [from, to) their previous status back where they still show the run's.
    void Restore(std::size_t from, std::size_t to);
    // The same for every entry not launched: those set aside and those not reached.
    void RestoreUnlaunched();
    void RestoreEntry(std::size_t entry);
    void Applied(std::uint32_t index);
    void FindSharedPairs();
    static std::string PairKey(std::string_view name, std::string_view url);
    std::string_view RunStatus() const;

    LinkJob m_job;
    CBrindleDoc& m_doc;
    Prober& m_prober;
    Callbacks m_callbacks;
    bool m_running = false;
    bool m_queueOpen = false;
    std::vector<Entry> m_queue;
    std::size_t m_launched = 0;
    std::size_t m_completed = 0;
    // The entries not launched yet, per host in queue order; the hosts with the most first.
    RunList m_runs;
    std::unordered_map<std::string, RunList::iterator> m_runOf;
    std::array<Slot, kSlotCount> m_slots{};
    std::int64_t m_hintShift = 0; // how far bookmarks moved since queueing (deletions)
    // Name and URL pairs that more than one bookmark carried when the run was launched: their
    // results go to the first of them, found by a scan.
    std::unordered_set<std::string> m_sharedPairs;
};

} // namespace brindle
