// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Asks a web archive's availability service for the snapshot of a page closest to now:
// BASE/wayback/available?url=URL answers {"archived_snapshots":{"closest":{"available":true,
// "url":...,"timestamp":...}}}. Over the HTTP engine, with its politeness towards the service.

#include "platform/net/NetSession.h"

#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace brindle {

// The service asked when the settings name none.
inline constexpr const char* kDefaultArchiveService = "https://archive.org";

struct Snapshot {
    std::string url;
    std::string timestamp; // "YYYYMMDDhhmmss"
    bool operator==(const Snapshot&) const = default;
};

class ArchiveLookup : public QObject {
    Q_OBJECT
  public:
    // `result` is the answer's HTTP status or an internet error number; the snapshot is there
    // when the service knows one.
    using Found = std::function<void(std::optional<Snapshot> snapshot, int result)>;

    ArchiveLookup(std::string service, ProxySpec proxy, QObject* parent = nullptr);
    ~ArchiveLookup() override;

    // Asks for `url`; `found` runs once, later, from the event loop (unless cancelled).
    void Ask(const std::string& url, Found found);
    void CancelAll();
    std::size_t Pending() const { return m_pending.size(); }

    // The address of the question about `url`.
    static std::string QueryUrl(std::string_view service, std::string_view url);
    // The closest available snapshot an answer names.
    static std::optional<Snapshot> ParseAnswer(std::string_view json);

  private:
    std::shared_ptr<CurlEngine> m_engine;
    std::string m_service;
    ProxySpec m_proxy;
    std::unordered_set<std::uint64_t> m_pending;
};

} // namespace brindle
