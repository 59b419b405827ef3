# SPDX-License-Identifier: GPL-3.0-or-later
# What the simulated-internet benches share; sourced by cli_check_internet.sh and
# cli_archive_internet.sh. Sourcing it makes `work`, a temporary folder that goes at exit with the
# server started in it.

work=$(mktemp -d)
server_pid=
sim_cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap sim_cleanup EXIT

# sim_start PORT HOSTS [--pages]: the server on HOSTS loopback addresses, its log in $work/log.
sim_start() {
    python3 bench/sim_internet.py "$1" "$2" "$work/log" ${3:+"$3"} > "$work/ready" &
    server_pid=$!
    for _ in $(seq 600); do
        [ -s "$work/ready" ] && break
        sleep 0.1
    done
    [ -s "$work/ready" ] || { echo "the simulated internet did not start" >&2; exit 1; }
}

# sim_timed COMMAND...: runs it under /usr/bin/time (wall, user, sys, peak into $work/time), its
# output in $work/out and $work/err, sampling its resident memory and the load every second into
# $work/rss; prints the load before and after.
sim_timed() {
    echo "load: $(uptime | sed 's/.*load average/load average/')"
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > "$work/out" 2> "$work/err" &
    local time_pid=$! cli_pid rss_kb
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
    echo "load: $(uptime | sed 's/.*load average/load average/')"
}

# sim_verdict WALL CONNECTIONS TIMEOUT: the memory and load samples, then the log's verdict.
sim_verdict() {
    awk '{ rss[NR] = $2; load[NR] = $3 } END {
        if (NR == 0) exit
        m = int((NR + 1) / 2)
        printf "resident memory: %d KB at start, %d KB midway, %d KB at the end (%d samples)\n",
            rss[1], rss[m], rss[NR], NR
        printf "load (1 min) during the run: %s at start, %s midway, %s at the end\n",
            load[1], load[m], load[NR]
    }' "$work/rss"
    sleep 1 # the server's log is written every half second
    python3 bench/sim_report.py "$work/log" "$1" "$2" 2 4 "$3"
}
