#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli import` of a browser profile's bookmarks: a Firefox places.sqlite
# and a Chromium Bookmarks file of COUNT bookmarks each (make_browser_profiles), into a new
# document. Wall time (median) and peak memory. Budget at 100,000: 1.5 s each.
# Run by scripts/bench after a Release build.
#   bench/cli_import_profiles.sh [BUILD_DIR] [RUNS] [COUNT]   (defaults: build-release, 5, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-5}
count=${3:-100000}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
# Saves keep merge bases and a trash under the XDG folders: the bench's own.
export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
trap 'rm -rf "$work"' EXIT
budget_ms=1500

"$build/bench/make_browser_profiles" "$work" "$count"
echo "load: $(uptime | sed 's/.*load average/load average/')"
over=0
for input in places.sqlite Bookmarks; do
    times=() peak=0
    for _ in $(seq "$runs"); do
        rm -f "$work/out.brx"
        start=$(date +%s%N)
        /usr/bin/time -f "%M" -o "$work/rss" "$cli" import "$work/out.brx" "$work/$input" \
            --no-backup > "$work/out"
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        kb=$(tail -n 1 "$work/rss")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    grep -q ": $count bookmarks," "$work/out" || { echo "$input: not $count bookmarks:" >&2; cat "$work/out" >&2; exit 1; }
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "import $input ($count, $(($(stat -c %s "$work/$input") / 1024)) KiB): median ${median} ms, peak RSS $((peak / 1024)) MiB (runs: ${times[*]})"
    if [ "$median" -gt "$budget_ms" ]; then
        echo "  over budget ($budget_ms ms)" >&2
        over=1
    fi
done
[ "$over" -eq 0 ] || { echo "cli_import_profiles: OVER BUDGET" >&2; exit 1; }
