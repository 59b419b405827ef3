#!/usr/bin/env bash
# Whole-process `brindle-cli info` on a 100,000-bookmark document: wall time and peak memory
# (budget: 250 ms and 80 MB). Run by scripts/bench after a Release build.
#   bench/cli_info.sh [BUILD_DIR] [RUNS]      (defaults: build-release, 7)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-7}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/bench100k.brx"
"$build/bench/make_bench_collection" "$file" 100000
echo "== brindle-cli info, 100,000 bookmarks ($(($(stat -c %s "$file") / 1024)) KiB file), $runs runs"
times=()
peak=0
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/rss" "$cli" info "$file" > "$work/out"
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    kb=$(tail -n 1 "$work/rss")
    times+=("$ms")
    [ "$kb" -gt "$peak" ] && peak=$kb
    echo "run: ${ms} ms, peak RSS $((kb / 1024)) MiB"
done
grep -q '^bookmarks: 100000$' "$work/out" || { echo "info did not report 100000 bookmarks" >&2; exit 1; }
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "median ${median} ms (budget 250), peak RSS $((peak / 1024)) MiB (budget 80)"
if [ "$median" -gt 250 ] || [ "$peak" -gt $((80 * 1024)) ]; then
    echo "cli_info: OVER BUDGET" >&2
    exit 1
fi
