#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli archive --connect-max 64` over COUNT pages on HOSTS hosts of the
# simulated internet (sim_internet.py --pages: each 200 an HTML page of 300-3,000 words), the
# document made by `brindle-cli import` of a generated Netscape file, the archive in a private
# data folder; then the log's verdict (sim_report.py): the share of a perfect scheduler's
# throughput reached and whether the per-host limits held. Pages archived, CPU per page and peak
# memory from /usr/bin/time, the resident memory sampled every second (start, middle, end), the
# archive's size, the machine's load before, during and after. With SIM_KEEP=DIR the server's
# log, the samples and the archive stay there; SIM_PORT sets the port (default 18081).
#   bench/cli_archive_internet.sh [BUILD_DIR] [COUNT] [HOSTS] [TIMEOUT_S]
#   (defaults: build-release, 10000, 2000, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
count=${2:-10000}
hosts=${3:-2000}
timeout=${4:-5}
port=${SIM_PORT:-18081}
connections=64
. bench/sim_run.sh
sim_start "$port" "$hosts" --pages
mkdir -p "$work/home" "$work/data"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/home/state"
python3 bench/make_sim_bookmarks.py "$work/links.html" "$count" "$hosts" "$port"
"$build/bin/brindle-cli" import "$work/links.brx" "$work/links.html" --no-backup > /dev/null
sim_timed "$build/bin/brindle-cli" archive "$work/links.brx" --connect-max "$connections" \
    --timeout "$timeout"
read -r wall user sys rss < "$work/time"
tail -1 "$work/err"
archived=$(grep -c $'\tarchived\t' "$work/out" || true)
ok=$(awk -F'\t' '$1 == 200' "$work/out" | wc -l)
bytes=$(du -cb "$work/data/brindle/archive" | tail -1 | cut -f1)
awk -v n="$count" -v a="$archived" -v ok="$ok" -v wall="$wall" -v user="$user" -v sys="$sys" \
    -v rss="$rss" -v bytes="$bytes" -v c="$connections" 'BEGIN {
    printf "brindle-cli archive --connect-max %d: %d pages asked, %d answered 200, %d archived, in %.1f s\n",
        c, n, ok, a, wall
    printf "CPU %.1f s (user %.1f + sys %.1f), %.3f ms per page archived; peak %d KB; archive %.1f MB\n",
        user + sys, user, sys, (user + sys) * 1000 / (a > 0 ? a : 1), rss, bytes / 1048576
}'
sim_verdict "$wall" "$connections" "$timeout"
if [ -n "${SIM_KEEP:-}" ]; then
    mkdir -p "$SIM_KEEP"
    cp -r "$work/log" "$work/rss" "$work/err" "$work/out" "$work/data" "$SIM_KEEP/"
fi
