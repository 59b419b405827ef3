// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fetching whole pages to keep their text: the page archive asks, the HTTP engine answers with the
// same politeness, proxy and retry rules as link checks. Tests script one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace brindle {

// What a fetch of one whole page brought back.
struct PageBody {
    int result = 0;          // HTTP status code, or an internet error number (LinkResult.h)
    std::string finalUrl;    // where the redirects led; "" = the URL asked
    std::string contentType; // the media type, lower-case, without parameters ("text/html")
    std::string charset;     // the Content-Type header's charset parameter; "" when it had none
    std::string body;        // content codings undone; at most the limit asked for
    bool truncated = false;  // the page (or its expansion) was longer than the limit
};

class PageFetcher {
  public:
    using Done = std::function<void(std::uint64_t id, PageBody page)>;

    virtual ~PageFetcher() = default;

    // Where results go: exactly once per Fetch that is not cancelled, always later from the
    // event loop of the thread that called Fetch.
    void SetDone(Done done) { m_done = std::move(done); }

    // Queues `url`. Only text types are read; the body is kept up to `maxBytes` after decoding,
    // so a compression bomb costs no more than that.
    virtual void Fetch(std::uint64_t id, const std::string& url, std::size_t maxBytes) = 0;
    // Forgets every queued and running fetch: none of their results arrive.
    virtual void CancelAll() = 0;

  protected:
    void Finish(std::uint64_t id, PageBody page) {
        if (m_done)
            m_done(id, std::move(page));
    }

  private:
    Done m_done;
};

} // namespace brindle
