#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli add` on a document of COUNT bookmarks, holding the document's lock
# from reading to the end of the save: one add at a time (median wall time and peak memory of
# RUNS runs), then two loops of LOOP adds side by side on the same file (total wall time; every
# bookmark of both loops must arrive).
#   bench/cli_add_locked.sh [BUILD_DIR] [RUNS] [COUNT] [LOOP]
#   (defaults: build-release, 7, 100000, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-7}
count=${3:-100000}
loop=${4:-20}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
# Saves keep merge bases and a trash under the XDG folders: the bench's own.
export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"
trap 'rm -rf "$work"' EXIT

"$build/bench/make_bench_collection" "$work/doc.brx" "$count"
echo "load: $(uptime | sed 's/.*load average/load average/')"

times=()
peak=0
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/rss" "$cli" add "$work/doc.brx" --name "single $i" \
        --url "http://single/$i" --no-backup
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
    kb=$(tail -n 1 "$work/rss")
    [ "$kb" -gt "$peak" ] && peak=$kb
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "add (locked), $count bookmarks: median ${median} ms, peak ${peak} KB"

adds() {
    for i in $(seq "$loop"); do
        "$cli" add "$work/doc.brx" --name "$1 $i" --url "http://$1/$i" --no-backup
    done
}
start=$(date +%s%N)
adds left &
adds right &
wait
end=$(date +%s%N)
total=$("$cli" info "$work/doc.brx" | sed -n 's/^bookmarks: //p')
expected=$((count + runs + 2 * loop))
echo "two loops of $loop adds side by side: $(((end - start) / 1000000)) ms, $total bookmarks" \
    "(expected $expected)"
[ "$total" -eq "$expected" ]
