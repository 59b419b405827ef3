// SPDX-License-Identifier: GPL-3.0-or-later
#include "status/LinkEngine.h"

#include "status/LinkResult.h"
#include "status/UrlAuthority.h"
#include "store/BrindleDoc.h"
#include "store/TextUtil.h"

#include <algorithm>
#include <unordered_map>

namespace brindle {

namespace {

// The host part of a URL, lower-cased, for grouping the entries that wait for one host.
std::string HostOf(std::string_view url) {
    std::string host(UrlAuthority(url));
    // ASCII only: a host name's case is ASCII's, whatever the locale says of other bytes.
    for (char& c : host)
        c = AsciiLower(c);
    return host;
}

} // namespace

LinkEngine::LinkEngine(LinkJob job, CBrindleDoc& doc, Prober& prober, Callbacks callbacks)
    : m_job(job), m_doc(doc), m_prober(prober), m_callbacks(std::move(callbacks)) {
    m_prober.SetCompletion(
        [this](int slot, ProbeResult result) { OnDone(slot, std::move(result)); });
    // Entries set aside for a host that backed off go as soon as it may be asked again.
    m_prober.SetHostFreed([this] {
        if (m_running && !m_queueOpen && !Idle() && !m_runs.empty())
            Refill();
    });
}

LinkEngine::~LinkEngine() {
    for (int s = 0; s < kSlotCount; ++s)
        if (m_slots[s].busy)
            m_prober.Cancel(s);
    m_prober.SetCompletion({});
    m_prober.SetHostFreed({});
}

int LinkEngine::BusySlots() const {
    return static_cast<int>(
        std::count_if(m_slots.begin(), m_slots.end(), [](const Slot& s) { return s.busy; }));
}

bool LinkEngine::SlotBusy(int slot) const {
    return slot >= 0 && slot < kSlotCount && m_slots[slot].busy;
}

void LinkEngine::Broadcast(std::string_view text) {
    if (m_job == LinkJob::Check && m_callbacks.broadcast)
        m_callbacks.broadcast(text);
}

std::string_view LinkEngine::RunStatus() const {
    return m_job == LinkJob::Check ? kTextChecking : kTextFetching;
}

void LinkEngine::Applied(std::uint32_t index) {
    if (m_callbacks.applied)
        m_callbacks.applied(index);
}

void LinkEngine::Toggle(const std::vector<std::uint32_t>& selection) {
    if (m_running) {
        Stop();
        return;
    }
    BeginQueue();
    if (selection.empty()) {
        if (m_job == LinkJob::Check)
            QueueListed();
    } else {
        for (std::uint32_t index : selection)
            Queue(index);
    }
    CloseQueue();
    Launch();
}

void LinkEngine::BeginQueue() {
    // What a stopped run still had in flight ends now, before the queue is reused.
    if (!Idle())
        Teardown();
    m_doc.SetModifiedFlag(true);
    m_running = true;
    m_queueOpen = true;
    m_launched = 0;
    m_completed = 0;
    m_runs.clear();
    m_runOf.clear();
    m_hintShift = 0;
    m_queue.clear();
    Broadcast(kChecking);
    if (m_callbacks.runChanged)
        m_callbacks.runChanged();
}

bool LinkEngine::Queue(std::uint32_t index) {
    if (!m_queueOpen || index >= m_doc.Bookmarks().size()) {
        Broadcast(kCheckOff);
        return false;
    }
    const BookmarkRef b = m_doc.Bookmarks()[index];
    if (b.m_strURL.empty()) {
        Broadcast(kCheckOff);
        return false;
    }
    if (m_job == LinkJob::Check && b.m_wStatusChecking == 0) {
        Broadcast(kCheckingOff);
        return false;
    }
    if (CheckedRecently(index))
        return false;
    m_queue.push_back(
        {std::string(b.m_strName), std::string(b.m_strURL), std::string(b.m_strStatus), index});
    m_doc.SetFieldText(index, kFieldStatus, RunStatus());
    if (m_job == LinkJob::Check)
        m_doc.SetFieldTime(index, kFieldLastChecked, CBrindleDoc::Now());
    return true;
}

bool LinkEngine::CheckedRecently(std::uint32_t index) const {
    const int days = m_doc.Prefs().m_nCheckOlderDays;
    if (m_job != LinkJob::Check || days <= 0)
        return false;
    return m_doc.Bookmarks()[index].m_tLastChecked >
           CBrindleDoc::Now() - static_cast<BrxTime>(days) * 86400;
}

void LinkEngine::QueueListed() {
    if (!m_queueOpen) {
        Broadcast(kCheckOff);
        return;
    }
    // A copy: the hit list stays as it is, but the document owns it.
    const CBrindleDoc::Hits hits = m_doc.ActiveHits();
    m_queue.reserve(m_queue.size() + hits.size());
    for (std::uint32_t index : hits) {
        const BookmarkRef b = m_doc.Bookmarks()[index];
        if (b.m_strURL.empty() || (m_job == LinkJob::Check && b.m_wStatusChecking == 0))
            continue;
        if (CheckedRecently(index))
            continue;
        Queue(index);
    }
}

void LinkEngine::Launch() {
    if (m_queue.empty()) {
        // As before: the run stays "on" with nothing to do until the user toggles again.
        Broadcast(kCheckOff);
        return;
    }
    if (m_callbacks.openSession && !m_callbacks.openSession()) {
        Broadcast(kCheckOff);
        Restore(0, m_queue.size());
        return;
    }
    m_queueOpen = false;
    FindSharedPairs();
    MakeRuns();
    LaunchEntry(TakeFrom(m_runOf.at(HostOf(m_queue.front().url))), 0);
}

void LinkEngine::MakeRuns() {
    m_runs.clear();
    m_runOf.clear();
    for (std::size_t entry = 0; entry < m_queue.size(); ++entry) {
        std::string host = HostOf(m_queue[entry].url);
        auto it = m_runOf.find(host);
        if (it == m_runOf.end()) {
            m_runs.push_back({host, {}, {}});
            it = m_runOf.emplace(std::move(host), std::prev(m_runs.end())).first;
        }
        it->second->entries.push_back(entry);
    }
    // The hosts with the most entries begin first: they take longest at their rate, and a large
    // one left for the end would leave every other slot idle while it finishes.
    m_runs.sort([](const Run& a, const Run& b) { return a.entries.size() > b.entries.size(); });
}

std::size_t LinkEngine::TakeFrom(RunList::iterator run) {
    const std::size_t entry = run->entries.front();
    run->entries.pop_front();
    if (run->entries.empty()) {
        m_runOf.erase(run->host);
        m_runs.erase(run);
    }
    return entry;
}

std::string LinkEngine::PairKey(std::string_view name, std::string_view url) {
    std::string key(name);
    key += '\0';
    key += url;
    return key;
}

void LinkEngine::FindSharedPairs() {
    m_sharedPairs.clear();
    // Views into the document, for this pass only.
    struct Hash {
        std::size_t operator()(const std::pair<std::string_view, std::string_view>& p) const {
            return std::hash<std::string_view>()(p.first) * 31 +
                   std::hash<std::string_view>()(p.second);
        }
    };
    std::unordered_map<std::pair<std::string_view, std::string_view>, int, Hash> seen;
    seen.reserve(m_doc.Bookmarks().size());
    for (const BookmarkRef b : m_doc.Bookmarks())
        if (++seen[{b.m_strName, b.m_strURL}] == 2)
            m_sharedPairs.insert(PairKey(b.m_strName, b.m_strURL));
}

void LinkEngine::Stop() {
    Broadcast(kCheckOff);
    m_running = false;
    if (m_callbacks.runChanged)
        m_callbacks.runChanged();
}

void LinkEngine::LaunchEntry(std::size_t entry, int slot) {
    Slot& s = m_slots[slot];
    s.busy = true;
    s.entry = entry;
    s.attempts = 0;
    ++m_launched;
    m_prober.Start(slot, m_queue[entry].url, 0);
}

void LinkEngine::OnDone(int slot, ProbeResult result) {
    if (slot < 0 || slot >= kSlotCount || !m_slots[slot].busy)
        return; // a slot already ended: nothing of it is expected any more
    if (!m_running) {
        Teardown();
        return;
    }
    Slot& s = m_slots[slot];
    const Entry& entry = m_queue[s.entry];
    if (s.attempts == 0) {
        int delay = -1;
        if (IsTransientResult(result.result))
            delay = kRetryPauseMs;
        else if ((result.result == 429 || result.result == 503) && result.retryAfter >= 0 &&
                 result.retryAfter <= kMaxRetryAfterSeconds)
            delay = result.retryAfter * 1000;
        if (delay >= 0) {
            s.attempts = 1;
            m_prober.Start(slot, entry.url, delay);
            return;
        }
    }
    // Its host has a connection free now: it is asked first thing.
    if (const auto run = m_runOf.find(HostOf(entry.url)); run != m_runOf.end())
        run->second->nextLook = {};
    if (m_job == LinkJob::Check)
        ApplyCheck(entry, result);
    else
        ApplyFetch(entry, result);
    ++m_completed;
    s.busy = false;
    Refill();
    if (Idle())
        FinishRun();
}

std::int64_t LinkEngine::NextEntry() {
    // A host not begun yet is always ready, so the scan ends at the first of them at the latest.
    const auto now = std::chrono::steady_clock::now();
    for (auto run = m_runs.begin(); run != m_runs.end(); ++run) {
        if (run->nextLook > now)
            continue;
        const auto wait = m_prober.HostReadyIn(m_queue[run->entries.front()].url);
        if (wait <= std::chrono::milliseconds::zero())
            return static_cast<std::int64_t>(TakeFrom(run));
        // A host at its rate is looked at again when its rate allows; one with all its
        // connections in use when one of its entries ends (OnDone), or after a while at the
        // latest (its connections may have been used by another hop's request).
        run->nextLook = now + (wait == Prober::kWhenFree ? kLookAgain : wait);
    }
    // Every host left waits for its rate: an entry of one with a connection to spare waits in
    // the prober, so that the host is asked again as soon as its rate allows.
    for (auto run = m_runs.begin(); run != m_runs.end(); ++run)
        if (!m_prober.HostBusy(m_queue[run->entries.front()].url))
            return static_cast<std::int64_t>(TakeFrom(run));
    // Only busy hosts are left: with no slot running, nothing would ever free one, so the first
    // of them is asked and waits its turn in the prober.
    if (Idle() && !m_runs.empty())
        return static_cast<std::int64_t>(TakeFrom(m_runs.begin()));
    return -1;
}

void LinkEngine::Refill() {
    // "ConnectMax" 0 would leave all but the first entry waiting forever: it runs one slot.
    const std::size_t limit = static_cast<std::size_t>(
        std::clamp(m_doc.Prefs().m_nConnectMax, 1, static_cast<int>(kSlotCount)));
    const std::size_t n = std::min(limit, m_queue.size());
    for (std::size_t slot = 0; slot < n && m_launched < m_queue.size(); ++slot) {
        if (m_slots[slot].busy)
            continue;
        const std::int64_t entry = NextEntry();
        if (entry < 0)
            break;
        LaunchEntry(static_cast<std::size_t>(entry), static_cast<int>(slot));
    }
}

void LinkEngine::RestoreUnlaunched() {
    for (const Run& run : m_runs)
        for (std::size_t entry : run.entries)
            RestoreEntry(entry);
    m_runs.clear();
    m_runOf.clear();
}

void LinkEngine::Teardown() {
    Broadcast(kCheckOff);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        Slot& s = m_slots[slot];
        if (!s.busy)
            continue;
        m_prober.Cancel(slot);
        s.busy = false;
        RestoreEntry(s.entry);
    }
    RestoreUnlaunched();
    m_launched = m_queue.size();
    if (m_callbacks.runChanged)
        m_callbacks.runChanged();
}

void LinkEngine::FinishRun() {
    RestoreUnlaunched();
    m_running = false;
    Broadcast(kCheckOff);
    if (m_callbacks.runChanged)
        m_callbacks.runChanged();
}

std::int64_t LinkEngine::Find(const Entry& entry) {
    const BookmarkList& list = m_doc.Bookmarks();
    const auto matches = [&](std::int64_t i) {
        if (i < 0 || static_cast<std::size_t>(i) >= list.size())
            return false;
        const BookmarkRef b = list[static_cast<std::uint32_t>(i)];
        return b.m_strName == entry.name && b.m_strURL == entry.url;
    };
    // Where it was queued (or where earlier results found bookmarks had moved to); the scan
    // from the start is for a collection edited during the run, and for a pair that several
    // bookmarks carry (the first of them takes the result).
    const bool shared =
        !m_sharedPairs.empty() && m_sharedPairs.count(PairKey(entry.name, entry.url));
    const std::int64_t guess = static_cast<std::int64_t>(entry.hint) + m_hintShift;
    if (!shared && matches(entry.hint))
        return entry.hint;
    if (!shared && matches(guess))
        return guess;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (matches(static_cast<std::int64_t>(i))) {
            if (!shared)
                m_hintShift = static_cast<std::int64_t>(i) - entry.hint;
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

void LinkEngine::ApplyCheck(const Entry& entry, const ProbeResult& result) {
    const std::int64_t found = Find(entry);
    if (found < 0)
        return;
    const auto index = static_cast<std::uint32_t>(found);
    if (result.result == 200) {
        const bool moved = LocationDiffers(entry.url, result.location);
        if (moved && m_doc.Prefs().m_bRepair)
            m_doc.SetFieldText(index, kFieldURL, result.location);
        if (result.lastModified)
            m_doc.SetFieldTime(index, kFieldLastModified, *result.lastModified);
        m_doc.SetFieldText(index, kFieldStatus, moved ? kTextChanged : kTextNoChange);
    } else {
        m_doc.SetFieldText(index, kFieldStatus, StatusTextForResult(result.result));
    }
    Applied(index);
}

void LinkEngine::ApplyFetch(const Entry& entry, const ProbeResult& result) {
    const std::int64_t found = Find(entry);
    if (found < 0)
        return;
    const auto index = static_cast<std::uint32_t>(found);
    if (result.result != 200) {
        m_doc.SetFieldText(index, kFieldStatus, StatusTextForResult(result.result));
        Applied(index);
        return;
    }
    bool changed = false;
    if (!result.page.description.empty()) {
        m_doc.SetFieldText(index, kFieldDescription, result.page.description);
        changed = true;
    }
    const std::string keywords = FetchedKeywords(result.page.keywords, result.page.title);
    if (!keywords.empty()) {
        std::string text(m_doc.Bookmarks()[index].m_strKeywords);
        text += ' ';
        text += keywords;
        // The keyword list is rebuilt from the text, so a search finds the new keywords.
        m_doc.SetFieldText(index, kFieldKeywords, text);
        changed = true;
    }
    if (LocationDiffers(entry.url, result.location)) {
        if (m_doc.Prefs().m_bRepair)
            m_doc.SetFieldText(index, kFieldURL, result.location);
        changed = true;
    }
    m_doc.SetFieldText(index, kFieldStatus, changed ? kTextChanged : kTextNoChange);
    Applied(index);
}

void LinkEngine::Restore(std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k)
        RestoreEntry(k);
}

void LinkEngine::RestoreEntry(std::size_t entry) {
    const Entry& e = m_queue[entry];
    const std::int64_t found = Find(e);
    if (found < 0)
        return;
    const auto index = static_cast<std::uint32_t>(found);
    if (m_doc.Bookmarks()[index].m_strStatus != RunStatus())
        return;
    m_doc.SetFieldText(index, kFieldStatus, e.previousStatus);
    Applied(index);
}

} // namespace brindle
