#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The floor under bench/cli_check_internet.sh's CPU: the same simulated internet and the same
# URLs, asked by curl_floor (a bare libcurl client under the same limits) instead of
# `brindle-cli check`. CPU per request and per URL and peak memory from /usr/bin/time, then the
# log's verdict as for the check. SIM_PORT, SIM_BIG and SIM_KEEP as there.
#   bench/cli_check_floor.sh [BUILD_DIR] [COUNT] [HOSTS] [TIMEOUT_S]
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
sed -n 's/.*HREF="\([^"]*\)".*/\1/p' "$work/links.html" > "$work/urls"
sim_timed "$build/bench/curl_floor" "$work/urls" 64 2 4 "$timeout"
read -r wall user sys rss < "$work/time"
tail -1 "$work/err"
requests=$(wc -l < "$work/log")
awk -v n="$count" -v r="$requests" -v wall="$wall" -v user="$user" -v sys="$sys" -v rss="$rss" 'BEGIN {
    printf "curl_floor: %d URLs, %d requests in %.1f s, CPU %.3f ms per URL, %.3f ms per request, peak %d KB\n",
        n, r, wall, (user + sys) * 1000 / n, (user + sys) * 1000 / r, rss
}'
sim_verdict "$wall" 64 "$timeout"
if [ -n "${SIM_KEEP:-}" ]; then
    mkdir -p "$SIM_KEEP"
    cp "$work/log" "$work/rss" "$work/err" "$SIM_KEEP/"
fi
