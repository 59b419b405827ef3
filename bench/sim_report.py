#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a sim_internet.py log and the run's wall time and says how close the run came to a
perfect scheduler under the same limits, and whether the limits per host held.

    sim_report.py LOG WALL_SECONDS CONNECTIONS PER_HOST RATE TIMEOUT_S

The perfect scheduler is replayed here: the same URLs on the same hosts, each answering as the
server's draw says (the same latencies, the same never-answering URLs held until TIMEOUT_S and
asked once more 1.5 s later, the same 429s backing their host off for the Retry-After second and
asked again after it, the same 301 hops), run by a scheduler with no overhead at all that starts
a request the instant CONNECTIONS, PER_HOST and RATE (at most RATE starts in any second) allow,
serving first the host with the most requests left. It cannot know in advance which URL will
hang, and neither can any other scheduler, so this is the best time a real one can aim for.
Also printed: the lower bound no scheduler could beat even knowing every latency (requests at
RATE a second plus each group of 429 pauses, or service time over PER_HOST, per host; all the
service time over CONNECTIONS).
"""
import collections
import heapq
import math
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from sim_internet import draw  # noqa: E402

RETRY_PAUSE = 1.5  # a time-out is asked once more after this pause
RETRY_AFTER = 1.0  # what the server's 429s ask for

log, wall, conns, per_host, rate, timeout = (sys.argv[1], float(sys.argv[2]), int(sys.argv[3]),
                                             int(sys.argv[4]), float(sys.argv[5]),
                                             float(sys.argv[6]))
by_host = collections.defaultdict(list)
urls = collections.defaultdict(list)  # host -> URL ids in the order the run first asked them
seen = {}  # path -> when and where it was first asked
total = 0.0
longest = 0.0
n = 0
for line in open(log):
    parts = line.split()
    if len(parts) < 5:
        continue
    host, start, end, status, path = parts[0], float(parts[1]), float(parts[2]), parts[3], parts[4]
    by_host[host].append((start, end, status))
    d = end - start
    total += d
    longest = max(longest, d)
    n += 1
    if path.startswith("/u/") and not path.endswith("/moved"):
        first = seen.get(path)
        if first is None or start < first[0]:
            seen[path] = (start, host)

for path, (start, host) in sorted(seen.items(), key=lambda item: item[1][0]):
    urls[host].append(int(path[3:]))

# --- The lower bound -----------------------------------------------------------------------
bound = max(total / conns, longest)
worst_host = ""
for host, reqs in by_host.items():
    pauses = sum(1 for r in reqs if r[2] == "429")
    b = max((len(reqs) - 1) / rate + math.ceil(pauses / per_host) * RETRY_AFTER +
            min(e - s for s, e, _ in reqs),
            sum(e - s for s, e, _ in reqs) / per_host)
    if b > bound:
        bound, worst_host = b, host


# --- The perfect scheduler, replayed -------------------------------------------------------
def replay():
    window = max(1, int(rate))  # at most `window` starts in any window/rate seconds
    span = window / rate
    pending = {h: collections.deque((uid, 0) for uid in ids) for h, ids in urls.items()}
    left = {h: len(ids) for h, ids in urls.items()}  # URLs not finished
    active = collections.Counter()
    starts = {h: collections.deque() for h in urls}
    backoff = collections.defaultdict(float)
    events = []  # (time, seq, kind, host, job)
    ready = []  # (-left, seq, host): hosts that may be able to start
    seq = 0
    running = 0
    now = 0.0
    wake_at = {}

    def push_ready(h):
        nonlocal seq
        seq += 1
        heapq.heappush(ready, (-left[h], seq, h))

    def push_event(t, kind, h, job):
        nonlocal seq
        seq += 1
        heapq.heappush(events, (t, seq, kind, h, job))

    for h in urls:
        push_ready(h)
    while True:
        # Start everything the limits allow now, the busiest hosts first.
        while running < conns and ready:
            _, _, h = heapq.heappop(ready)
            if not pending[h] or active[h] >= per_host:
                continue
            q = starts[h]
            while q and q[0] <= now - span + 1e-9:
                q.popleft()
            blocked = backoff[h] if backoff[h] > now else (q[0] + span if len(q) >= window else 0)
            if blocked > now:
                if wake_at.get(h, math.inf) > blocked:
                    wake_at[h] = blocked
                    push_event(blocked, "wake", h, None)
                continue
            uid, attempt = pending[h].popleft()
            q.append(now)
            active[h] += 1
            running += 1
            status, latency = draw(uid) if attempt >= 0 else (200, 0.0)
            if latency >= timeout:
                status = "silent"  # the client gives up before the answer comes
            if status == "silent":
                push_event(now + timeout, "silent", h, (uid, attempt))
            elif status == 429 and attempt == 0:
                push_event(now + latency, "429", h, (uid, attempt))
            elif status == 301 and attempt >= 0:
                push_event(now + latency, "301", h, (uid, attempt))
            else:
                push_event(now + latency, "done", h, (uid, attempt))
            push_ready(h)
        if not events:
            return now
        now, _, kind, h, job = heapq.heappop(events)
        if kind == "wake":
            if wake_at.get(h) == now:
                del wake_at[h]
            push_ready(h)
            continue
        if kind == "retry":
            pending[h].append(job)
            push_ready(h)
            continue
        active[h] -= 1
        running -= 1
        uid, attempt = job
        if kind == "silent" and attempt == 0:
            push_event(now + RETRY_PAUSE, "retry", h, (uid, 1))
        elif kind == "429":
            backoff[h] = max(backoff[h], now + RETRY_AFTER)
            push_event(now + RETRY_AFTER, "retry", h, (uid, 1))
        elif kind == "301":
            pending[h].appendleft((uid, -1))  # the hop to where it moved, at once
        else:
            left[h] -= 1
        # Hosts held back only by the connections stay in `ready`: this one may go on now.
        push_ready(h)


perfect = replay() if urls else 0.0

# Limits: requests inside a host at once and starts in any one-second window (less 50 ms for the
# server's own timing). An excess while a never-answered request of that host is still open and
# ends within 100 ms is told apart: the client gave up on it before starting the next, but the
# server notices the closed connection only on its next turn.
over_conc = over_rate = late_close = 0
max_conc = max_starts = 0
for host, reqs in by_host.items():
    starts = sorted(s for s, _, _ in reqs)
    j = 0
    for i, s in enumerate(starts):
        while starts[j] < s - 1.0 + 0.05:
            j += 1
        max_starts = max(max_starts, i - j + 1)
        if i - j + 1 > rate:
            over_rate += 1
    # (A request answered at once takes no time: it overlaps nothing.)
    points = sorted([(s, 1, k) for k, (s, e, _) in enumerate(reqs) if e > s] +
                    [(e, -1, k) for k, (s, e, _) in enumerate(reqs) if e > s],
                    key=lambda p: (p[0], p[1]))
    inside = set()
    for t, step, k in points:
        if step < 0:
            inside.discard(k)
            continue
        inside.add(k)
        max_conc = max(max_conc, len(inside))
        if len(inside) > per_host:
            if any(reqs[o][2] in ("silent", "gone") and reqs[o][1] - t < 0.1
                   for o in inside if o != k):
                late_close += 1
            else:
                over_conc += 1

print("requests logged: %d on %d hosts" % (n, len(by_host)))
print("perfect scheduler (replayed): %.1f s; lower bound even knowing every latency: %.1f s (%s)" %
      (perfect, bound, worst_host or "the connections"))
print("this run: %.1f s, %.1f %% of the perfect scheduler's throughput (%.1f %% of the bound)" %
      (wall, 100 * perfect / wall, 100 * bound / wall))
print("per-host limits: at most %d at once and %d starts in a second seen; %d times over %d at "
      "once (%d more beside a given-up request whose close the server saw late), "
      "%d starts over %g a second" %
      (max_conc, max_starts, over_conc, per_host, late_close, over_rate, rate))
