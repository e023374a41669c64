#!/usr/bin/env bash
# Runs every fuzz target for a while (SECONDS each, default 300), growing a
# corpus per target under BUILD/fuzz/ and keeping any crashing input there.
# Prints executions and findings per target; exit code 1 on a finding.
set -uo pipefail
build=${1:-build-asan}
seconds=${2:-300}
src="$(cd "$(dirname "$0")/.." && pwd)"
found=0
for f in "$build"/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f"); name=${name#fuzz_}
  [ "$name" = make_seeds ] && continue
  work="$build/fuzz/corpus_$name" artifacts="$build/fuzz/findings_$name/"
  mkdir -p "$work" "$artifacts"
  extra=()
  [ "$name" = image_tlg ] && [ -d "$src/../shared/testdata/tlg" ] && extra+=("$src/../shared/testdata/tlg")
  log="$build/fuzz/long_$name.log"
  LSAN_OPTIONS=suppressions=$src/tests/lsan.supp SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$f" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -close_fd_mask=3 \
       -artifact_prefix="$artifacts" "$work" "$src/fuzz/corpus/$name" "${extra[@]}" >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  [ -z "$execs" ] && execs=$(grep -o '#[0-9]*' "$log" | tail -1 | tr -d '#')
  if [ $rc -ne 0 ]; then found=1; echo "$name: FINDING after ${execs:-?} executions, see $log and $artifacts"
  else echo "$name: ${execs:-?} executions, no finding"; fi
done
exit $found
