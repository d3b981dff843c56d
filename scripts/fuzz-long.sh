#!/usr/bin/env bash
# Runs the fuzz targets for long: each for OSP_FUZZ_SECONDS (default 3600)
# with its corpus kept in build/fuzz/corpus/<target>, so that one run goes on
# from where the last stopped. Name targets to run only those:
#   bash scripts/fuzz-long.sh                 every target, an hour each
#   OSP_FUZZ_SECONDS=600 bash scripts/fuzz-long.sh log_open_fuzz dbf_fuzz
# Prints each target's executions per second and what it found; a crash
# leaves its input in build/fuzz/ (crash-*, timeout-*, oom-*) and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSP_FUZZ=ON -DOSP_TESTS=OFF -DOSP_TOOLS=OFF >/dev/null
ninja -C build/fuzz

seconds=${OSP_FUZZ_SECONDS:-3600}
if [ "$#" -gt 0 ]; then
  targets=()
  for name in "$@"; do targets+=("build/fuzz/fuzz/$name"); done
else
  targets=(build/fuzz/fuzz/*_fuzz)
fi

status=0
for target in "${targets[@]}"; do
  [ -x "$target" ] || { echo "no fuzz target $target" >&2; exit 2; }
  name=$(basename "$target")
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  dirs=("$corpus")
  [ -d "fuzz/seeds/$name" ] && dirs+=("fuzz/seeds/$name")
  log="build/fuzz/$name.long.log"
  echo "-- $name for ${seconds}s (log: $log)"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="build/fuzz/$name-" -print_final_stats=1 \
      "${dirs[@]}" > "$log" 2>&1; then
    echo "   FOUND: see $log and build/fuzz/$name-*"
    tail -30 "$log"
    status=1
  fi
  # The last status line carries the executions and their rate.
  grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/   /' || true
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$log" | sed 's/^/   /' || true
done
exit $status
