// SPDX-License-Identifier: GPL-3.0-or-later
// A local HTTP server for the timed link-check runs: every request is answered with 200 after
// DELAY milliseconds. Prints its port, then serves on 127.0.0.1 until it is killed.
//   link_server [DELAY_MS] [PORT]
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <sys/socket.h>

int main(int argc, char** argv) {
    const int delayMs = argc > 1 ? std::atoi(argv[1]) : 100;
    const int port = argc > 2 ? std::atoi(argv[2]) : 0;
    httplib::Server server;
    // Every connection of the client keeps a thread; more than the client's slots.
    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    // Headers and body go out in separate writes: without this, Nagle and the client's delayed
    // acknowledgement add up to 40 ms to some answers.
    server.set_tcp_nodelay(true);
    // Every connection stays for as many requests as the client sends: the library's default of
    // five a connection has the client connect anew every fifth request.
    server.set_keep_alive_max_count(1'000'000);
    // The library listens with a backlog of five: when the client opens its connections at once,
    // the rest of their SYNs are dropped and retried a second later, a lost second of one slot.
    int listening = -1;
    server.set_socket_options([&listening](int socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = socket;
    });
    server.Get(R"(/.*)", [delayMs](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        res.set_content("<html><head><title>Page</title></head></html>", "text/html");
    });
    const int bound = port ? (server.bind_to_port("127.0.0.1", port) ? port : -1)
                           : server.bind_to_any_port("127.0.0.1");
    if (bound < 0)
        return 1;
    if (listening >= 0)
        listen(listening, 1024); // a second listen() only sets the backlog anew
    std::printf("%d\n", bound);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}
