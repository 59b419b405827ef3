#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-process `brindle-cli sync` of a document of COUNT bookmarks (make_bench_collection) linked
# to an XBEL file of the same COUNT bookmarks: with nothing changed, and with CHANGES changes on
# each side (the file: half renamed, half added with fresh ids, as a browser extension writes
# them; the document: CHANGES bookmarks imported). Wall time (median) and peak memory, beside the
# peak memory of `brindle-cli list --query` (the document's open memory). Then a conflict copy that a synced
# folder left beside an unlinked copy of the document (CHANGES bookmarks added on each machine),
# merged by `brindle-cli sync`. Wall times are noisy on a busy machine: CPU time (user+sys) is
# shown beside them.
# Budgets at 100,000: nothing changed <= 150 ms; 100 changes a side <= 1 s and <= 2x the open memory;
# a conflict copy merged <= 2 s.
#   bench/cli_sync_linked.sh [BUILD_DIR] [RUNS] [COUNT] [CHANGES]
#   (defaults: build-release, 7, 100000, 100)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
runs=${2:-7}
count=${3:-100000}
changes=${4:-100}
cli="$build/bin/brindle-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state" XDG_DATA_HOME="$work/data"

"$build/bench/make_bench_collection" "$work/doc.brx" "$count"
"$cli" link "$work/doc.brx" "$work/shared/bookmarks.xbel" > /dev/null
start=$(date +%s%N)
/usr/bin/time -f "%M" -o "$work/rss" "$cli" sync "$work/doc.brx" --no-backup > /dev/null
echo "first sync (every bookmark written to the file): $((($(date +%s%N) - start) / 1000000)) ms," \
    "peak RSS $(($(tail -n 1 "$work/rss") / 1024)) MiB," \
    "file $(($(stat -c %s "$work/shared/bookmarks.xbel") / 1024)) KiB"
echo "load: $(uptime | sed 's/.*load average/load average/')"

# One side's changes each: CHANGES/2 renames and CHANGES/2 additions in the file, CHANGES
# bookmarks imported into the document.
round=0
change_both_sides() {
    round=$((round + 1))
    python3 - "$work/shared/bookmarks.xbel" "$changes" "$round" <<'PY'
import re, sys
path, changes, round_ = sys.argv[1], int(sys.argv[2]), sys.argv[3]
text = open(path, encoding="utf-8").read()
highest = int(re.search(r"highestId :(\d+):", text).group(1))
titles = iter(re.finditer(r"<title>([^<]*)</title>", text))
next(titles)  # the folder's
done, out, last = 0, [], 0
for m in titles:
    if done == changes // 2:
        break
    out.append(text[last:m.start(1)] + m.group(1) + " r" + round_)
    last = m.end(1)
    done += 1
text = "".join(out) + text[last:]
added = []
for i in range(changes - changes // 2):
    highest += 1
    added.append('<bookmark id="%d" href="http://added.example/%s/%d"><title>Added %s %d</title>'
                 "</bookmark>" % (highest, round_, i, round_, i))
text = text.replace("</xbel>", "".join(added) + "</xbel>")
text = re.sub(r"highestId :\d+:", "highestId :%d:" % highest, text)
open(path, "w", encoding="utf-8").write(text)
PY
    {
        echo '<!DOCTYPE NETSCAPE-Bookmark-file-1>'
        echo '<DL><p>'
        for i in $(seq "$changes"); do
            echo "<DT><A HREF=\"http://doc.example/$round/$i\">Doc $round $i</A>"
        done
        echo '</DL><p>'
    } > "$work/changes.html"
    "$cli" import "$work/doc.brx" "$work/changes.html" --no-backup > /dev/null
}

# measure NAME PREPARE COMMAND...: median wall time in ms, median CPU time (user+sys) in ms and
# peak RSS in KiB over RUNS runs.
measure() {
    local name=$1 prepare=$2
    shift 2
    local times=() cpus=() peak=0 start end kb
    for _ in $(seq "$runs"); do
        $prepare
        start=$(date +%s%N)
        /usr/bin/time -f "%M %U %S" -o "$work/rss" "$@" > "$work/out"
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
        read -r kb user sys < <(tail -n 1 "$work/rss")
        cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')")
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    cpu=$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    peak_mb=$((peak / 1024))
    echo "$name: median ${median} ms (CPU ${cpu} ms), peak RSS ${peak_mb} MiB" \
        "(runs: ${times[*]}; load $(cut -d' ' -f1 /proc/loadavg))"
}

over=0
# `info` reads only a summary; a query that matches nothing reads the whole document.
measure "list (the document's open memory)" true "$cli" list "$work/doc.brx" --query zzqxnomatch
open_mb=$peak_mb
measure "sync, nothing changed" true "$cli" sync "$work/doc.brx" --no-backup
grep -q "nothing changed" "$work/out" || { echo "the sync found changes" >&2; exit 1; }
[ "$count" -le 100000 ] && [ "$median" -gt 150 ] && { echo "  over budget (150 ms)" >&2; over=1; }
measure "sync, $changes changes on each side" change_both_sides \
    "$cli" sync "$work/doc.brx" --no-backup
grep -q "document: $((changes - changes / 2)) added, 0 deleted, $((changes / 2)) changed" \
    "$work/out" || { echo "unexpected sync: $(cat "$work/out")" >&2; exit 1; }
if [ "$count" -le 100000 ] && { [ "$median" -gt 1000 ] || [ "$peak_mb" -gt $((2 * open_mb)) ]; }; then
    echo "  over budget (1000 ms, $((2 * open_mb)) MiB)" >&2
    over=1
fi

# A conflict copy: this machine's version (its history knows the version both started from) and
# the other machine's copy, each with CHANGES bookmarks of its own.
mkdir -p "$work/synced"
for side in here there; do
    {
        echo '<!DOCTYPE NETSCAPE-Bookmark-file-1>'
        echo '<DL><p>'
        for i in $(seq "$changes"); do
            echo "<DT><A HREF=\"http://$side.example/$i\">$side $i</A>"
        done
        echo '</DL><p>'
    } > "$work/$side.html"
done
"$build/bench/make_bench_collection" "$work/common.brx" "$count"
conflict_copy() {
    rm -rf "$work/synced" "$work/state/brindle/doc-"* "$work/other-state"
    mkdir -p "$work/synced"
    cp "$work/common.brx" "$work/synced/doc.brx"
    cp "$work/synced/doc.brx" "$work/other.brx"
    "$cli" import "$work/synced/doc.brx" "$work/here.html" --no-backup > /dev/null
    XDG_STATE_HOME="$work/other-state" "$cli" import "$work/other.brx" "$work/there.html" \
        --no-backup > /dev/null
    mv "$work/other.brx" "$work/synced/doc.sync-conflict-20260110-093612-ABCD123.brx"
}
measure "conflict copy merged" conflict_copy "$cli" sync "$work/synced/doc.brx" --no-backup
grep -q "conflict copy merged" "$work/out" || { echo "no merge: $(cat "$work/out")" >&2; exit 1; }
[ "$count" -le 100000 ] && [ "$median" -gt 2000 ] && { echo "  over budget (2 s)" >&2; over=1; }

if [ "$over" -ne 0 ]; then
    echo "cli_sync_linked: OVER BUDGET" >&2
    exit 1
fi
