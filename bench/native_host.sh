#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The browser extension's host as the browser runs it, with no window running, on a document of
# COUNT bookmarks named as the last document in a private home:
#   - host start to first reply: a fresh `brindle-cli native-host` answering a ping (and, apart,
#     a first lookup, which reads the document);
#   - a lookup with the host already started (the document loaded): the round trip of one
#     message, for addresses in the document and not;
#   - an add (the document saved) with the host already started.
# Median and slowest of RUNS, and the host's peak memory. Budgets at 100,000: start to first
# reply <= 150 ms, lookup <= 20 ms. Run by scripts/bench after a Release build.
#   bench/native_host.sh [BUILD_DIR] [RUNS] [COUNT]      (defaults: build-release, 9, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-9}
count=${3:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/home/.config/Brindle" "$work/run"
chmod 700 "$work/run"
"$build/bench/make_bench_collection" "$work/doc.brx" "$count"
printf '[Recent File List]\nFile1=%s\n' "$work/doc.brx" > "$work/home/.config/Brindle/Brindle.conf"
echo "load: $(uptime | sed 's/.*load average/load average/')"

HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run \
    python3 - "$build/bin/brindle-cli" "$work/doc.brx" "$runs" "$count" <<'PY'
import json, random, statistics, struct, subprocess, sys, time

cli, doc, runs, count = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])

def frame(message):
    data = json.dumps(message).encode()
    return struct.pack("=I", len(data)) + data

def reply(host):
    length = struct.unpack("=I", host.stdout.read(4))[0]
    return json.loads(host.stdout.read(length))

def start():
    return subprocess.Popen(["/usr/bin/time", "-f", "%M", cli, "native-host", "chrome-extension://bench/"],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)

def finish(host):
    host.stdin.close()
    host.wait()
    return int(host.stderr.read().decode().split()[-1]) // 1024  # peak RSS, MiB

def report(name, times, budget=None):
    median, slowest = statistics.median(times), max(times)
    over = budget is not None and median > budget
    print(f"{name}: median {median:.1f} ms, slowest {slowest:.1f} ms"
          + (f" (budget {budget} ms)" if budget else "") + (" OVER BUDGET" if over else ""))
    return over

# The URLs of some bookmarks of the document, read back through the host itself.
listing = subprocess.run([cli, "list", doc], capture_output=True, text=True, check=True).stdout
urls = [line.split("\t")[1] for line in listing.splitlines() if "\t" in line]
random.seed(7)
saved = random.sample(urls, 20)
missing = [f"https://not-saved.example/{i}" for i in range(20)]

over = False
first_ping, first_lookup, peaks = [], [], []
for _ in range(runs):
    t0 = time.perf_counter()
    host = start()
    host.stdin.write(frame({"type": "ping"})); host.stdin.flush()
    assert reply(host)["type"] == "pong"
    first_ping.append((time.perf_counter() - t0) * 1000)
    peaks.append(finish(host))
    t0 = time.perf_counter()
    host = start()
    host.stdin.write(frame({"type": "lookup", "url": saved[0]})); host.stdin.flush()
    assert reply(host)["saved"] is True
    first_lookup.append((time.perf_counter() - t0) * 1000)
    peaks.append(finish(host))
over |= report("start to first reply (ping)", first_ping, 150)
over |= report(f"start to first lookup ({count} bookmarks read)", first_lookup)

# Started: the host has answered a lookup, so the document is loaded (the badge's lookup of the
# first page shown does that in the browser).
host = start()
host.stdin.write(frame({"type": "lookup", "url": missing[0]})); host.stdin.flush(); reply(host)
lookups = {True: [], False: []}
for url in saved + missing:
    t0 = time.perf_counter()
    host.stdin.write(frame({"type": "lookup", "url": url})); host.stdin.flush()
    answer = reply(host)
    lookups[url in saved].append((time.perf_counter() - t0) * 1000)
    assert answer["saved"] == (url in saved), answer
over |= report("lookup, host started, saved page", lookups[True], 20)
over |= report("lookup, host started, page not saved", lookups[False], 20)
adds = []
for i in range(min(runs, 5)):
    t0 = time.perf_counter()
    host.stdin.write(frame({"type": "add", "url": f"https://bench.example/{i}", "title": "bench"}))
    host.stdin.flush()
    assert reply(host)["result"] == "added"
    adds.append((time.perf_counter() - t0) * 1000)
report("add (document saved), host started", adds)
peaks.append(finish(host))
print(f"host peak RSS: {max(peaks)} MiB")
sys.exit(1 if over else 0)
PY
