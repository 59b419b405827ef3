#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli duplicates` (same, and same with likely) on a document of COUNT
# bookmarks made by `brindle-cli import` of a generated Netscape file plus a file of variants of
# every ninth link (half with campaign parameters, half over http without "www."), one variant
# for each ten bookmarks. `info` on the same document is the baseline of opening it. Wall time
# and CPU time (medians) and peak memory; budget: duplicates --likely <= 1000 ms at 1,000,000
# (wall time on an idle machine; on a loaded one only the CPU time means much).
#   bench/cli_duplicates.sh [BUILD_DIR] [RUNS] [COUNT]    (defaults: build-release, 5, 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-5}
count=${3:-1000000}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

variants=$((count / 10))
"$build/bench/make_netscape_file" "$work/links.html" "$((count - variants))"
{
    printf '<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n'
    grep '<DT><A HREF="https://www\.' "$work/links.html" | awk -v n="$variants" '
        NR % 9 != 0 { next }
        ++made > n { exit }
        made % 2 { sub(/\.html"/, ".html?utm_source=newsletter\\&amp;utm_medium=email\""); print; next }
        { sub(/HREF="https:\/\/www\./, "HREF=\"http://"); print }'
    printf '</DL><p>\n'
} > "$work/variants.html"
"$cli" import "$work/doc.brx" "$work/links.html" "$work/variants.html" --no-backup
echo "load: $(uptime | sed 's/.*load average/load average/')"

# measure NAME COMMAND...: median wall time and median CPU time (user + system, which a loaded
# machine does not stretch as much) in ms, and peak RSS, of RUNS runs.
measure() {
    local name=$1
    shift
    local times=() cpus=() peak=0 start end kb
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        /usr/bin/time -f "%M %U %S" -o "$work/rss" "$@" > "$work/out"
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        read -r kb user sys < <(tail -n 1 "$work/rss")
        cpus+=($(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }'))
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    cpu=$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "$name: median ${median} ms wall, ${cpu} ms CPU, peak RSS $((peak / 1024)) MiB" \
        "(wall: ${times[*]}; CPU: ${cpus[*]})"
}

measure "info" "$cli" info "$work/doc.brx"
measure "duplicates" "$cli" duplicates "$work/doc.brx"
tail -n 1 "$work/out"
measure "duplicates --likely" "$cli" duplicates "$work/doc.brx" --likely
tail -n 1 "$work/out"
# The figure against the budget; a figure over it does not fail the bench run (a loaded machine
# stretches wall time: compare the CPU time too).
if [ "$count" -ge 1000000 ]; then
    verdict="within"
    [ "$median" -gt 1000 ] && verdict="OVER"
    echo "cli_duplicates: duplicates --likely ${median} ms wall, ${cpu} ms CPU against 1000 ms: $verdict budget"
fi
