#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one libFuzzer target for a bounded time (ctest calls this; see fuzz/CMakeLists.txt).
#   run-fuzzer.sh FUZZER SECONDS CORPUS_DIR SEED_DIR CRASH_PREFIX [libFuzzer flags...]
# New inputs are kept in CORPUS_DIR (created if needed); the seeds are only read. Exits non-zero
# on any crash, leak, sanitizer report or time-out of one input. BRINDLE_FUZZ_SECONDS in the
# environment overrides SECONDS.
set -euo pipefail
fuzzer=$1 seconds=$2 corpus=$3 seeds=$4 crash=$5
shift 5
mkdir -p "$corpus"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
seconds=${BRINDLE_FUZZ_SECONDS:-$seconds}
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crash" "$@" "$corpus" "$seeds"
