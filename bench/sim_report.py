#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a sim_internet.py log and the run's wall time and says how close the run came to a
perfect scheduler under the same limits, and whether the limits per host held.

    sim_report.py LOG WALL_SECONDS CONNECTIONS PER_HOST RATE TIMEOUT_S

The perfect scheduler's time is bounded below by the largest of: all the requests' service
times spread over CONNECTIONS; for each host, its requests at RATE a second and its service time
spread over PER_HOST; the longest single request. Unanswered requests last until the client gave
up (about TIMEOUT_S, which is only printed).
"""
import collections
import sys

log, wall, conns, per_host, rate, timeout = (sys.argv[1], float(sys.argv[2]), int(sys.argv[3]),
                                             int(sys.argv[4]), float(sys.argv[5]),
                                             float(sys.argv[6]))
by_host = collections.defaultdict(list)
total = 0.0
longest = 0.0
n = 0
for line in open(log):
    parts = line.split()
    if len(parts) < 5:
        continue
    host, start, end, status = parts[0], float(parts[1]), float(parts[2]), parts[3]
    by_host[host].append((start, end))
    d = end - start
    total += d
    longest = max(longest, d)
    n += 1

bound = max(total / conns, longest)
worst_host = ""
for host, reqs in by_host.items():
    b = max((len(reqs) - 1) / rate + min(e - s for s, e in reqs),
            sum(e - s for s, e in reqs) / per_host)
    if b > bound:
        bound, worst_host = b, host

# Limits: requests inside a host at once and starts in any one-second window (less 50 ms for the
# server's own timing).
over_conc = over_rate = 0
for host, reqs in by_host.items():
    events = sorted(reqs)
    starts = [s for s, _ in events]
    j = 0
    for i, s in enumerate(starts):
        while starts[j] < s - 1.0 + 0.05:  # 50 ms for the server's own timing
            j += 1
        if i - j + 1 > rate:
            over_rate += 1
    points = sorted([(s, 1) for s, e in reqs] + [(e, -1) for s, e in reqs], key=lambda p: (p[0], p[1]))
    inside = 0
    for _, step in points:
        inside += step
        if inside > per_host:
            over_conc += 1

print("requests logged: %d on %d hosts" % (n, len(by_host)))
print("perfect scheduler: >= %.1f s (bound set by %s)" % (bound, worst_host or "the connections"))
print("this run: %.1f s, %.1f %% of the perfect scheduler's throughput" % (wall, 100 * bound / wall))
print("per-host limits: %d times over %d at once, %d starts over %g a second" %
      (over_conc, per_host, over_rate, rate))
