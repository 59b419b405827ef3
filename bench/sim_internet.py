#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A simulated internet on loopback for timing link checks.

Listens on PORT of HOSTS loopback addresses (127.0.x.y, each one host) and answers
GET /u/ID as the ID's draw says: a latency from a log-normal (median 150 ms, 1 % over 2 s),
2 % never answered (logged when the client gives up, as is any answer it did not wait
for), 5 % 404, 3 % 301 (to /u/ID/moved, answered at once), 1 % 429 with
"Retry-After: 1" the first time (200 after), the rest 200. Every answer is logged as
"host start end status path" (seconds since the server started) to LOG.

With --pages, a 200 answers with an HTML page instead of "ok", the same for an ID every time:
a title, headings and paragraphs of 300-3,000 words of prose-like text (words of syllables
drawn with Zipf frequencies from a 50,000-word vocabulary), as text/html; charset=utf-8.
The latencies stay the same.

    sim_internet.py PORT HOSTS LOG [--pages]
Prints "ready" once every address listens.
"""
import asyncio
import itertools
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


class Prose:
    """Pages of prose-like text: frequent words short, in capitalised sentences of 8-25 words."""
    SYLLABLES = ["ka", "lo", "mi", "ne", "ru", "sa", "te", "vi", "do", "pe", "an", "or", "el",
                 "is", "um", "tra", "ber", "con", "dis", "gen", "pro", "str", "qua", "zy", "wen",
                 "fi"]
    VOCABULARY = 50000

    def __init__(self):
        r = random.Random(7)
        seen = set()
        self.words = []
        while len(self.words) < self.VOCABULARY:
            rank = len(self.words)
            count = (1 if rank < 20 else 2 if rank < 300 else 2 + r.randrange(2) if rank < 5000
                     else 3 + r.randrange(2))
            word = "".join(r.choice(self.SYLLABLES) for _ in range(count))
            if word not in seen:
                seen.add(word)
                self.words.append(word)
        cdf = list(itertools.accumulate(1.0 / (k + 1) ** 1.07 for k in range(self.VOCABULARY)))
        # Drawn once: a page is a stretch of this run of words, so serving one costs little.
        self.run = r.choices(self.words, cum_weights=cdf, k=1 << 20)

    def page(self, uid):
        r = random.Random(uid * 2654435761 + 1)
        n = 300 + r.randrange(2701) + 5
        start = r.randrange(len(self.run) - n)
        words = self.run[start:start + n]
        title = " ".join(words[:5]).capitalize()
        words = words[5:]
        body = ["<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title></head>"
                "<body>\n<h1>%s</h1>\n" % (title, title)]
        i = 0
        while i < len(words):
            if r.random() < 0.2:  # a heading now and then
                body.append("<h2>%s</h2>\n" % " ".join(words[i:i + 3]).capitalize())
                i += 3
            sentences = []
            for _ in range(1 + r.randrange(6)):
                n = 8 + r.randrange(18)
                if i >= len(words):
                    break
                sentences.append(" ".join(words[i:i + n]).capitalize() + ".")
                i += n
            if sentences:
                body.append("<p>%s</p>\n" % " ".join(sentences))
        body.append("</body></html>\n")
        return "".join(body).encode("utf-8")


class Server:
    def __init__(self, log, prose=None):
        self.log = log
        self.prose = prose
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
                body = b"ok"
                if self.prose is not None and status == 200:
                    body = self.prose.page(int(path[3:].split("/")[0]))
                    extra += "Content-Type: text/html; charset=utf-8\r\n"
                writer.write(("HTTP/1.1 %d %s\r\nContent-Length: %d\r\n%s\r\n" %
                              (status, reason, len(body), extra)).encode("latin-1") + body)
                await writer.drain()
                self.record(host, start, status, path)
        except (asyncio.IncompleteReadError, ConnectionError, asyncio.LimitOverrunError):
            pass
        finally:
            writer.close()


async def main():
    port, hosts, log_path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    prose = Prose() if "--pages" in sys.argv[4:] else None
    with open(log_path, "w", buffering=1 << 16) as log:
        server = Server(log, prose)
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
