#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli check --connect-max 64` over COUNT URLs on HOSTS hosts of the
# simulated internet (sim_internet.py), the document made by `brindle-cli import` of a generated
# Netscape file; then the log's verdict (sim_report.py): the share of a perfect scheduler's
# throughput reached and whether the per-host limits held. CPU per URL and per request and peak
# memory from /usr/bin/time, the resident memory sampled every second (start, middle, end), the
# machine's load before, during and after. With SIM_KEEP=DIR the server's log and the samples stay
# there; SIM_PORT sets the port (default 18080); SIM_BIG the first host's share of the URLs
# (default 0.1; 0 spreads them all evenly, for measuring the CPU of the many-host case without the
# wait on the big host). With SIM_FLOOR=1 the same URLs are asked by curl_floor, a bare libcurl
# client under the same limits, instead: the floor under the check's CPU per request.
#   bench/cli_check_internet.sh [BUILD_DIR] [COUNT] [HOSTS] [TIMEOUT_S]
#   (defaults: build-release, 100000, 2000, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
count=${2:-100000}
hosts=${3:-2000}
timeout=${4:-5}
port=${SIM_PORT:-18080}
. bench/sim_run.sh
sim_start "$port" "$hosts"
python3 bench/make_sim_bookmarks.py "$work/links.html" "$count" "$hosts" "$port" ${SIM_BIG:+"$SIM_BIG"}
if [ -n "${SIM_FLOOR:-}" ]; then
    client="curl_floor"
    sed -n 's/.*HREF="\([^"]*\)".*/\1/p' "$work/links.html" > "$work/urls"
    sim_timed "$build/bench/curl_floor" "$work/urls" 64 2 4 "$timeout"
else
    client="brindle-cli check --connect-max 64"
    "$build/bin/brindle-cli" import "$work/links.brx" "$work/links.html" --no-backup > /dev/null
    sim_timed "$build/bin/brindle-cli" check "$work/links.brx" --connect-max 64 \
        --timeout "$timeout" --no-backup
fi
read -r wall user sys rss < "$work/time"
tail -1 "$work/err"
# The log is written every half second, and a request the client gave up on is logged once the
# server sees its connection close.
sleep 2
requests=$(wc -l < "$work/log")
awk -v c="$client" -v n="$count" -v r="$requests" -v wall="$wall" -v user="$user" -v sys="$sys" \
    -v rss="$rss" 'BEGIN {
    printf "%s: %d URLs, %d requests in %.1f s, CPU %.3f ms per URL, %.3f ms per request, peak %d KB\n",
        c, n, r, wall, (user + sys) * 1000 / n, (user + sys) * 1000 / r, rss
}'
sim_verdict "$wall" 64 "$timeout"
if [ -n "${SIM_KEEP:-}" ]; then
    mkdir -p "$SIM_KEEP"
    cp "$work/log" "$work/rss" "$work/err" "$SIM_KEEP/"
fi
