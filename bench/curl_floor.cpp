// SPDX-License-Identifier: GPL-3.0-or-later
// A bare libcurl client for a large check: one multi handle driven by epoll and
// curl_multi_socket_action, under the check's limits (at most CONNECT_MAX transfers at once, at
// most PER_HOST to one host and HOST_RATE starts a second to it, counted over 1.05 s as the
// engine counts them; the hosts with the most URLs first), and nothing else: no queue of
// requests, no document, no results kept, no retries, no redirects followed. Its CPU per request
// on the simulated internet (SIM_FLOOR=1 bench/cli_check_internet.sh) is what libcurl and the
// kernel cost without anything of ours: the floor under `brindle-cli check`'s.
//   curl_floor URL_FILE [CONNECT_MAX] [PER_HOST] [HOST_RATE] [TIMEOUT_S]
//   (defaults: 64, 2, 4, 5); prints the requests made and answered.
#include "status/UrlAuthority.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/epoll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Host {
    std::vector<std::size_t> urls;
    std::size_t next = 0;
    int active = 0;
    std::deque<Clock::time_point> starts;
};

struct Client {
    CURLM* multi = nullptr;
    int epoll = -1;
    Clock::time_point curlDue = Clock::time_point::max();
};

int OnSocket(CURL*, curl_socket_t socket, int what, void* data, void* assigned) {
    auto& c = *static_cast<Client*>(data);
    if (what == CURL_POLL_REMOVE) {
        epoll_ctl(c.epoll, EPOLL_CTL_DEL, socket, nullptr);
        return 0;
    }
    epoll_event ev{};
    ev.data.fd = socket;
    ev.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
    if (assigned) {
        epoll_ctl(c.epoll, EPOLL_CTL_MOD, socket, &ev);
    } else {
        epoll_ctl(c.epoll, EPOLL_CTL_ADD, socket, &ev);
        curl_multi_assign(c.multi, socket, &c);
    }
    return 0;
}

int OnTimer(CURLM*, long ms, void* data) {
    auto& c = *static_cast<Client*>(data);
    c.curlDue = ms < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(ms);
    return 0;
}

std::size_t Discard(char*, std::size_t size, std::size_t n, void*) {
    return size * n;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(
            stderr,
            "usage: curl_floor URL_FILE [CONNECT_MAX] [PER_HOST] [HOST_RATE] [TIMEOUT_S]\n");
        return 2;
    }
    const int connectMax = argc > 2 ? std::atoi(argv[2]) : 64;
    const int perHost = argc > 3 ? std::atoi(argv[3]) : 2;
    const double rate = argc > 4 ? std::atof(argv[4]) : 4.0;
    const long timeoutMs = (argc > 5 ? std::atol(argv[5]) : 5) * 1000;
    // At most `window` starts in any `span`, as the engine counts a host's rate.
    const auto window = static_cast<std::size_t>(std::max(1.0, rate));
    const auto span = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.05 * static_cast<double>(window) / rate));

    std::vector<std::string> urls;
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            urls.push_back(line);
    std::unordered_map<std::string, std::size_t> indexOf;
    std::vector<Host> hosts;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const auto [it, added] =
            indexOf.try_emplace(std::string(brindle::UrlAuthority(urls[i])), hosts.size());
        if (added)
            hosts.emplace_back();
        hosts[it->second].urls.push_back(i);
    }
    std::stable_sort(hosts.begin(), hosts.end(),
                     [](const Host& a, const Host& b) { return a.urls.size() > b.urls.size(); });

    curl_global_init(CURL_GLOBAL_DEFAULT);
    Client c;
    c.multi = curl_multi_init();
    c.epoll = epoll_create1(EPOLL_CLOEXEC);
    // As many connections kept as the engine keeps.
    curl_multi_setopt(c.multi, CURLMOPT_MAXCONNECTS,
                      static_cast<long>(std::max(32, 2 * connectMax)));
    curl_multi_setopt(c.multi, CURLMOPT_SOCKETFUNCTION, &OnSocket);
    curl_multi_setopt(c.multi, CURLMOPT_SOCKETDATA, &c);
    curl_multi_setopt(c.multi, CURLMOPT_TIMERFUNCTION, &OnTimer);
    curl_multi_setopt(c.multi, CURLMOPT_TIMERDATA, &c);

    std::vector<CURL*> spare;
    std::vector<std::size_t> live; // hosts begun and not done, in order
    std::size_t begun = 0, requests = 0, answered = 0, done = 0;
    int running = 0;
    while (done < urls.size()) {
        const Clock::time_point now = Clock::now();
        Clock::time_point wake = now + std::chrono::seconds(1);
        // Every free slot to the first host begun that may have it, else to the next host.
        for (std::size_t k = 0; running < connectMax && (k < live.size() || begun < hosts.size());
             ++k) {
            if (k == live.size())
                live.push_back(begun++);
            Host& h = hosts[live[k]];
            while (h.next < h.urls.size() && h.active < perHost && running < connectMax) {
                while (!h.starts.empty() && h.starts.front() + span <= now)
                    h.starts.pop_front();
                if (h.starts.size() >= window) {
                    wake = std::min(wake, h.starts.front() + span);
                    break;
                }
                CURL* e = spare.empty() ? curl_easy_init() : spare.back();
                if (!spare.empty())
                    spare.pop_back();
                curl_easy_setopt(e, CURLOPT_URL, urls[h.urls[h.next++]].c_str());
                curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Discard);
                curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeoutMs);
                curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
                curl_easy_setopt(e, CURLOPT_PRIVATE, &h);
                curl_multi_add_handle(c.multi, e);
                h.starts.push_back(now);
                ++h.active;
                ++running;
                ++requests;
            }
        }
        std::erase_if(live, [&](std::size_t i) { return hosts[i].next == hosts[i].urls.size(); });

        const auto waitMs =
            std::chrono::ceil<std::chrono::milliseconds>(std::min(wake, c.curlDue) - Clock::now())
                .count();
        epoll_event events[64];
        const int n = epoll_wait(c.epoll, events, 64, static_cast<int>(std::max(0L, waitMs)));
        int still = 0;
        for (int i = 0; i < n; ++i) {
            const std::uint32_t ev = events[i].events;
            const int flags = ((ev & EPOLLIN) ? CURL_CSELECT_IN : 0) |
                              ((ev & EPOLLOUT) ? CURL_CSELECT_OUT : 0) |
                              ((ev & (EPOLLERR | EPOLLHUP)) ? CURL_CSELECT_ERR : 0);
            curl_multi_socket_action(c.multi, events[i].data.fd, flags, &still);
        }
        if (Clock::now() >= c.curlDue) {
            c.curlDue = Clock::time_point::max();
            curl_multi_socket_action(c.multi, CURL_SOCKET_TIMEOUT, 0, &still);
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(c.multi, &queued)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            Host* h = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &h);
            --h->active;
            answered += msg->data.result == CURLE_OK;
            curl_multi_remove_handle(c.multi, msg->easy_handle);
            spare.push_back(msg->easy_handle);
            --running;
            ++done;
        }
    }
    std::fprintf(stderr, "curl_floor: %zu requests, %zu answered\n", requests, answered);
    for (CURL* e : spare)
        curl_easy_cleanup(e);
    curl_multi_cleanup(c.multi);
    close(c.epoll);
    return 0;
}
