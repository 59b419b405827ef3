#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli check` of COUNT bookmarks against a local server that answers every
# request after DELAY ms, with "ConnectMax" 8: URLs per second, CPU per URL and peak memory. The
# server is one host: its politeness limits are raised so that the 8 connections are measured.
# Budget at 100 ms: >= 76 URLs/s (95 % of the limit of 8 / 0.1 s) and <= 0.16 ms CPU per URL.
#   bench/cli_check.sh [BUILD_DIR] [COUNT] [DELAY_MS]     (defaults: build-release, 1000, 100)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
count=${2:-1000}
delay=${3:-100}
work=$(mktemp -d)
# Saves keep merge bases and a trash under the XDG folders: the bench's own.
export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/bench/link_server" "$delay" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(cat "$work/port")
"$build/bench/make_link_collection" "$work/links.brx" "$count" "http://127.0.0.1:$port"
echo "load: $(uptime | sed 's/.*load average/load average/')"
/usr/bin/time -f '%e %U %S %M' -o "$work/time" \
    "$build/bin/brindle-cli" check "$work/links.brx" --connect-max 8 --per-host 8 --host-rate 1000 \
    --no-backup > "$work/out" 2> "$work/err"
read -r wall user sys rss < "$work/time"
results=$(grep -c $'^No change\t' "$work/out" || true)
awk -v n="$count" -v ok="$results" -v wall="$wall" -v user="$user" -v sys="$sys" -v rss="$rss" \
    -v delay="$delay" 'BEGIN {
    limit = 8 * 1000 / delay
    rate = n / wall
    cpu = (user + sys) * 1000 / n
    printf "brindle-cli check: %d URLs (%d \"No change\") in %.2f s: %.1f URLs/s (limit %.0f, %.1f %%), CPU %.3f ms per URL, peak %d KB\n", n, ok, wall, rate, limit, 100 * rate / limit, cpu, rss
    bad = (ok != n) || (delay == 100 && (rate < 76 || cpu > 0.16))
    if (bad) { print "OVER BUDGET"; exit 1 }
}'
