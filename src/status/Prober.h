// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The engines' view of the network: something that asks one URL at a time per slot and reports
// back. The prober over the HTTP engine lives in the platform layer; tests script one.

#include "status/PageMeta.h"
#include "store/TimeFormat.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace brindle {

// What one probe or fetch of a URL brought back.
struct ProbeResult {
    int result = 0; // HTTP status code, or an internet error number (LinkResult.h)
    // Where the page moved for good: the URL the permanent redirects (301, 308) led to before the
    // first temporary one; "" = the queued one (no redirect, or only temporary ones).
    std::string location;
    std::optional<BrxTime> lastModified; // a usable Last-Modified header of a 200 answer (UTC)
    int retryAfter = -1; // seconds a 429 or 503 answer asked to wait; -1 when it did not say
    // The answer's reason phrase ("OK", "Not Found"); for a failed secure connection, what the
    // certificate check found.
    std::string statusText;
    bool pageRead = false; // a fetch read (part of) the page
    PageMeta page;         // a fetch's findings, in UTF-8
};

class Prober {
  public:
    using Completion = std::function<void(int slot, ProbeResult result)>;

    virtual ~Prober() = default;

    // Where results go. A prober reports exactly once per Start that is not cancelled, always
    // later from the event loop of the thread that called Start, never from inside Start.
    void SetCompletion(Completion completion) { m_completion = std::move(completion); }
    // Called when a host that was busy may take requests again without any result arriving
    // (its back-off ended), so that entries set aside for it need not wait for the next result.
    void SetHostFreed(std::function<void()> freed) { m_hostFreed = std::move(freed); }

    // Asks `url` in `slot` (0 up to the engine's slot count) after waiting `delayMs`
    // milliseconds.
    virtual void Start(int slot, const std::string& url, int delayMs) = 0;
    // Forgets the slot's request: its result never arrives.
    virtual void Cancel(int slot) = 0;
    // Whether a request for `url` started now would only wait for its host (which has all the
    // requests it may have, or asked to be left alone for a while): the engine then starts
    // another entry first.
    virtual bool HostBusy(const std::string& url) const {
        (void)url;
        return false;
    }
    // How long until a request for `url` would go out at once: zero when it would now (its host
    // is not busy and within its rate), the rest of its host's rate window or pause, or
    // kWhenFree when that waits for one of the host's requests to end. The engine keeps to the
    // hosts it has begun while they are ready, so that their connections are used again rather
    // than opened anew for every request.
    static constexpr std::chrono::milliseconds kWhenFree = std::chrono::milliseconds::max();
    virtual std::chrono::milliseconds HostReadyIn(const std::string& url) const {
        return HostBusy(url) ? kWhenFree : std::chrono::milliseconds::zero();
    }

  protected:
    void Complete(int slot, ProbeResult result) {
        if (m_completion)
            m_completion(slot, std::move(result));
    }

    void HostFreed() {
        if (m_hostFreed)
            m_hostFreed();
    }

  private:
    Completion m_completion;
    std::function<void()> m_hostFreed;
};

} // namespace brindle
