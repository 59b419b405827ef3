#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A simulated internet on loopback for timing link checks.

Listens on PORT of HOSTS loopback addresses (127.0.x.y, each one host) and answers
GET /u/ID as the ID's draw says: a latency from a log-normal (median 150 ms, 1 % over 2 s),
2 % never answered (logged when the client gives up, as is any answer it did not wait
for), 5 % 404, 3 % 301 (to /u/ID/moved, answered at once), 1 % 429 with
"Retry-After: 1" the first time (200 after), the rest 200. Every answer is logged as
"host start end status path" (seconds since the server started) to LOG.

    sim_internet.py PORT HOSTS LOG
Prints "ready" once every address listens.
"""
import asyncio
import math
import random
import sys
import time

MEDIAN = 0.150
SIGMA = math.log(2.0 / MEDIAN) / 2.326  # 1 % of draws over 2 s


def host_address(i):
    return "127.0.%d.%d" % (1 + i // 250, 1 + i % 250)


def draw(uid):
    r = random.Random(uid * 7919 + 17)
    u = r.random()
    latency = math.exp(math.log(MEDIAN) + SIGMA * r.gauss(0.0, 1.0))
    if u < 0.02:
        return "silent", latency
    if u < 0.07:
        return 404, latency
    if u < 0.10:
        return 301, latency
    if u < 0.11:
        return 429, latency
    return 200, latency


class Server:
    def __init__(self, log):
        self.log = log
        self.t0 = time.monotonic()
        self.busy_seen = set()

    def record(self, host, start, status, path):
        self.log.write("%s %.4f %.4f %s %s\n" % (host, start - self.t0, time.monotonic() - self.t0,
                                                status, path))

    async def handle(self, reader, writer):
        host = writer.get_extra_info("sockname")[0]
        try:
            while True:
                head = await reader.readuntil(b"\r\n\r\n")
                start = time.monotonic()
                line = head.split(b"\r\n", 1)[0].decode("latin-1")
                parts = line.split(" ")
                path = parts[1] if len(parts) > 1 else "/"
                status, latency = "404", 0.0
                moved = path.endswith("/moved")
                if path.startswith("/u/"):
                    try:
                        uid = int(path[3:].split("/")[0])
                        status, latency = draw(uid)
                    except ValueError:
                        status = 404
                if moved:
                    status, latency = 200, 0.0
                if status == "silent":
                    await reader.read()  # until the client gives up
                    self.record(host, start, "silent", path)
                    return
                # A client that gives up while it waits closes the connection: the request ends
                # there, not when the answer would have been ready.
                gone = asyncio.ensure_future(reader.read(1))
                done, _ = await asyncio.wait({gone}, timeout=latency)
                if gone in done:
                    self.record(host, start, "gone", path)
                    return
                gone.cancel()
                try:
                    await gone  # the reader takes no other wait before this one is gone
                except asyncio.CancelledError:
                    pass
                extra = ""
                if status == 301:
                    extra = "Location: %s/moved\r\n" % path
                elif status == 429:
                    if path in self.busy_seen:
                        status = 200
                    else:
                        self.busy_seen.add(path)
                        extra = "Retry-After: 1\r\n"
                reason = {200: "OK", 301: "Moved Permanently", 404: "Not Found",
                          429: "Too Many Requests"}[status]
                writer.write(("HTTP/1.1 %d %s\r\nContent-Length: 2\r\n%s\r\nok" %
                              (status, reason, extra)).encode("latin-1"))
                await writer.drain()
                self.record(host, start, status, path)
        except (asyncio.IncompleteReadError, ConnectionError, asyncio.LimitOverrunError):
            pass
        finally:
            writer.close()


async def main():
    port, hosts, log_path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    with open(log_path, "w", buffering=1 << 16) as log:
        server = Server(log)
        servers = [await asyncio.start_server(server.handle, host_address(i), port, backlog=256)
                   for i in range(hosts)]
        print("ready", flush=True)
        try:
            while True:  # the log is read while the server runs
                await asyncio.sleep(0.5)
                log.flush()
        finally:
            for s in servers:
                s.close()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
