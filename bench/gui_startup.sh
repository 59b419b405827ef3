#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process start of the window until it is painted, offscreen: wall time and peak memory.
# Run by scripts/bench after a Release build.
#   bench/gui_startup.sh [BUILD_DIR] [RUNS] [BOOKMARKS] [KIND]
#   (defaults: build-release, 5, 100000, synthetic)
# KIND is synthetic (make_bench_collection, ASCII texts) or imported (make_imported_document:
# an imported Netscape file with a third of the titles outside ASCII).
# Budgets: 1.5 s and 150 MB at 100,000 bookmarks; at 1,000,000 2 s (memory reported only) for
# the synthetic document, 1.5 s and 400 MB for the imported one.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-5}
count=${3:-100000}
kind=${4:-synthetic}
budget_ms=1500
budget_mb=150
if [ "$count" -gt 100000 ]; then
    budget_ms=2000
    budget_mb=0 # no budget
    if [ "${4:-synthetic}" = imported ]; then
        budget_ms=1500
        budget_mb=400
    fi
fi
app="$build/bin/brindle"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/bench$count.brx"
case $kind in
synthetic) "$build/bench/make_bench_collection" "$file" "$count" ;;
imported) bench/make_imported_document "$file" "$count" "$build" ;;
*) echo "unknown document kind: $kind" >&2 && exit 2 ;;
esac
# A private desktop: settings, runtime and data folders of its own.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
echo "== brindle start to painted window, $count bookmarks ($kind), $runs runs"
times=()
peak=0
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/rss" "$app" --quit-after-show "$file" > /dev/null 2>&1
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    kb=$(tail -n 1 "$work/rss")
    times+=("$ms")
    [ "$kb" -gt "$peak" ] && peak=$kb
    echo "run: ${ms} ms, peak RSS $((kb / 1024)) MiB"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
if [ "$budget_mb" -gt 0 ]; then
    echo "median ${median} ms (budget $budget_ms), peak RSS $((peak / 1024)) MiB (budget $budget_mb)"
else
    echo "median ${median} ms (budget $budget_ms), peak RSS $((peak / 1024)) MiB"
fi
if [ "$median" -gt "$budget_ms" ] || { [ "$budget_mb" -gt 0 ] && [ "$peak" -gt $((budget_mb * 1024)) ]; }; then
    echo "gui_startup: OVER BUDGET" >&2
    exit 1
fi
