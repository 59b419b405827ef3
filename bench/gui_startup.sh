#!/usr/bin/env bash
# Whole-process start of the window on a 100,000-bookmark document until it is painted, offscreen:
# wall time and peak memory (budget: 1.5 s and 150 MB). Run by scripts/bench after a Release build.
#   bench/gui_startup.sh [BUILD_DIR] [RUNS]      (defaults: build-release, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-5}
app="$build/bin/brindle"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file="$work/bench100k.brx"
"$build/bench/make_bench_collection" "$file" 100000
# A private desktop: settings, runtime and data folders of its own.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
echo "== brindle start to painted window, 100,000 bookmarks, $runs runs"
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
echo "median ${median} ms (budget 1500), peak RSS $((peak / 1024)) MiB (budget 150)"
if [ "$median" -gt 1500 ] || [ "$peak" -gt $((150 * 1024)) ]; then
    echo "gui_startup: OVER BUDGET" >&2
    exit 1
fi
