#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli check --connect-max 64` over COUNT URLs on HOSTS hosts of the
# simulated internet (sim_internet.py), the document made by `brindle-cli import` of a generated
# Netscape file; then the log's verdict (sim_report.py): the share of a perfect scheduler's
# throughput reached and whether the per-host limits held. CPU per URL and peak memory from
# /usr/bin/time, the resident memory sampled every second (start, middle, end), the machine's
# load before, during and after. With SIM_KEEP=DIR the server's log and the samples stay there;
# SIM_PORT sets the port (default 18080); SIM_BIG the first host's share of the URLs (default
# 0.1; 0 spreads them all evenly, for measuring the CPU of the many-host case without the wait
# on the big host).
#   bench/cli_check_internet.sh [BUILD_DIR] [COUNT] [HOSTS] [TIMEOUT_S]
#   (defaults: build-release, 100000, 2000, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
count=${2:-100000}
hosts=${3:-2000}
timeout=${4:-5}
port=${SIM_PORT:-18080}
work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

python3 bench/sim_internet.py "$port" "$hosts" "$work/log" > "$work/ready" &
server_pid=$!
for _ in $(seq 300); do
    [ -s "$work/ready" ] && break
    sleep 0.1
done
python3 bench/make_sim_bookmarks.py "$work/links.html" "$count" "$hosts" "$port" ${SIM_BIG:+"$SIM_BIG"}
"$build/bin/brindle-cli" import "$work/links.brx" "$work/links.html" --no-backup > /dev/null
echo "load: $(uptime | sed 's/.*load average/load average/')"
/usr/bin/time -f '%e %U %S %M' -o "$work/time" \
    "$build/bin/brindle-cli" check "$work/links.brx" --connect-max 64 --timeout "$timeout" \
    --no-backup > "$work/out" 2> "$work/err" &
time_pid=$!
# The resident memory of the check (the child of `time`) and the load, every second.
: > "$work/rss"
while kill -0 "$time_pid" 2>/dev/null; do
    cli_pid=$(pgrep -P "$time_pid" || true)
    if [ -n "$cli_pid" ]; then
        rss_kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$cli_pid/status" 2>/dev/null || true)
        [ -n "$rss_kb" ] && echo "$SECONDS $rss_kb $(cut -d' ' -f1 /proc/loadavg)" >> "$work/rss"
    fi
    sleep 1
done
wait "$time_pid"
read -r wall user sys rss < "$work/time"
echo "load: $(uptime | sed 's/.*load average/load average/')"
tail -1 "$work/err"
awk -v n="$count" -v wall="$wall" -v user="$user" -v sys="$sys" -v rss="$rss" 'BEGIN {
    printf "brindle-cli check --connect-max 64: %d URLs in %.1f s, CPU %.3f ms per URL, peak %d KB\n",
        n, wall, (user + sys) * 1000 / n, rss
}'
awk '{ rss[NR] = $2; load[NR] = $3 } END {
    if (NR == 0) exit
    m = int((NR + 1) / 2)
    printf "resident memory: %d KB at start, %d KB midway, %d KB at the end (%d samples)\n",
        rss[1], rss[m], rss[NR], NR
    printf "load (1 min) during the run: %s at start, %s midway, %s at the end\n",
        load[1], load[m], load[NR]
}' "$work/rss"
sleep 1 # the server's log is written every half second
python3 bench/sim_report.py "$work/log" "$wall" 64 2 4 "$timeout"
if [ -n "${SIM_KEEP:-}" ]; then
    mkdir -p "$SIM_KEEP"
    cp "$work/log" "$work/rss" "$work/err" "$SIM_KEEP/"
fi
