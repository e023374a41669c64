#!/usr/bin/env bash
# Runs every benchmark executable with repetitions and prints the medians.
set -euo pipefail
build=${1:-build}
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
