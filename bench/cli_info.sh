#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli info` and `brindle-cli list --query python` on three documents of
# COUNT bookmarks: the synthetic collection (make_bench_collection), one made by `brindle-cli
# import` of a generated Netscape file (make_netscape_file), and the same with a third of the
# titles outside ASCII (make_imported_document), whose file holds many 16-bit strings. Wall
# time (median) and peak memory. `info` reads the file through without keeping its texts;
# `list --query` reads it through too, keeping only the hits' texts (a query that every
# bookmark matches costs a full open).
# Budgets at 100,000: info <= 80 ms and 60 MB, list <= 100 ms; at 1,000,000: info <= 300 ms and
# 400 MB, list <= 500 ms.
# Run by scripts/bench after a Release build.
#   bench/cli_info.sh [BUILD_DIR] [RUNS] [COUNT]      (defaults: build-release, 7, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-7}
count=${3:-100000}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
# Saves keep merge bases and a trash under the XDG folders: the bench's own.
export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
trap 'rm -rf "$work"' EXIT

if [ "$count" -le 100000 ]; then
    info_ms=80 info_mb=60 list_ms=100
else
    info_ms=300 info_mb=400 list_ms=500
fi

"$build/bench/make_bench_collection" "$work/synthetic.brx" "$count"
"$build/bench/make_netscape_file" "$work/links.html" "$count"
"$cli" import "$work/imported.brx" "$work/links.html" --no-backup > /dev/null
bench/make_imported_document "$work/mixed.brx" "$count" "$build"
echo "load: $(uptime | sed 's/.*load average/load average/')"

over=0
# measure NAME COMMAND...: median wall time in ms and peak RSS in KiB of RUNS runs.
measure() {
    local name=$1
    shift
    local times=() peak=0 start end kb
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        /usr/bin/time -f "%M" -o "$work/rss" "$@" > "$work/out"
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        kb=$(tail -n 1 "$work/rss")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    peak_mb=$((peak / 1024))
    echo "$name: median ${median} ms, peak RSS ${peak_mb} MiB (runs: ${times[*]})"
}

for doc in synthetic imported mixed; do
    file="$work/$doc.brx"
    echo "== $doc document, $count bookmarks ($(($(stat -c %s "$file") / 1024)) KiB)"
    measure "info" "$cli" info "$file"
    grep -q "^bookmarks: $count$" "$work/out" || { echo "info did not report $count bookmarks" >&2; exit 1; }
    if { [ "$info_ms" -gt 0 ] && [ "$median" -gt "$info_ms" ]; } || [ "$peak_mb" -gt "$info_mb" ]; then
        echo "  over budget (${info_ms:-} ms, $info_mb MiB)" >&2
        over=1
    fi
    measure "list --query python" "$cli" list "$file" --query python
    if [ "$list_ms" -gt 0 ] && [ "$median" -gt "$list_ms" ]; then
        echo "  over budget ($list_ms ms)" >&2
        over=1
    fi
done
if [ "$over" -ne 0 ]; then
    echo "cli_info: OVER BUDGET" >&2
    exit 1
fi
