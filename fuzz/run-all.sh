#!/bin/bash
# Runs each fuzz target for ten minutes, one after the other, from a fuzz build directory:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKELVOR_FUZZ=ON && ninja -C build-fuzz
#   fuzz/run-all.sh build-fuzz
# A crash or hang input lands in BUILD/artifacts; keep it under tests/data with a test.
set -u
build="${1:-build-fuzz}"
seconds="${FUZZ_SECONDS:-600}"
cd "$build" || exit 1
mkdir -p artifacts
for t in ${FUZZ_TARGETS:-fuzz_avi_info fuzz_patcher_walk fuzz_riff_report fuzz_avi_demuxer fuzz_scn_file fuzz_ini_text fuzz_dv_frames}; do
  mkdir -p "corpus/$t"
  "./fuzz/$t" "corpus/$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="artifacts/$t-" -print_final_stats=1 >"$t.log" 2>&1
  echo "$t exit $? $(grep -h number_of_executed_units "$t.log")"
done
