#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each one in turn, starting
# from its seeds (made by the tests' generators) and the corpus that earlier
# runs kept in build/fuzz/corpus/TARGET.
#
#   scripts/fuzz.sh [--seconds N] [--runs N] [TARGET...]
#
# --seconds bounds each target's run in time (default 30), --runs in executions
# (a long run: --runs 10000000); QUORVANE_FUZZ_BUILD names another build
# folder. Without TARGET every target runs. An input
# that crashes, leaks, reads out of bounds or takes more than 30 seconds is
# kept in build/fuzz/findings/TARGET/ and fails the run. Each target's number
# of executions is printed at its end.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=30
runs=""
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; seconds=0; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

command -v clang++-14 >/dev/null || { echo "clang++-14 not found (Debian packages clang-14, libclang-rt-14-dev)" >&2; exit 1; }
build=${QUORVANE_FUZZ_BUILD:-build/fuzz}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON \
  -DQUORVANE_TESTS=OFF -DQUORVANE_WINDOW=OFF >/dev/null
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ls tests/fuzz/*Fuzz.cpp | xargs -n1 basename | sed 's/\.cpp$//')
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target seeds=$build/seeds/$target findings=$build/findings/$target
  rm -rf "$seeds"
  mkdir -p "$corpus" "$seeds" "$findings"
  QUORVANE_FUZZ_WRITE_SEEDS=$seeds "$build/tests/fuzz/$target" >/dev/null
  limit=(-max_total_time="$seconds")
  [ -n "$runs" ] && limit=(-runs="$runs")
  log=$build/$target.log
  if [ -n "$runs" ]; then bound="$runs executions"; else bound="$seconds s"; fi
  echo "fuzz.sh: $target ($bound)"
  rc=0
  "$build/tests/fuzz/$target" "${limit[@]}" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$seeds" >"$log" 2>&1 || rc=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "fuzz.sh: $target: ${executions:-?} executions, corpus of $(ls "$corpus" | wc -l) inputs"
  if [ "$rc" -ne 0 ]; then
    echo "fuzz.sh: $target found a fault (exit code $rc); input in $findings/, log in $log:" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|ALARM|.*-timeout)' "$log" | head -5 >&2 || true
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: faults found by: ${failed[*]}" >&2
  exit 1
fi
