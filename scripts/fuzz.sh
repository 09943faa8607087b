#!/usr/bin/env bash
# Runs one fuzz target of a TOVRENA_FUZZ build for a number of seconds (default 600).
# New corpus entries and crash/hang/slow inputs go to <build>/fuzz-work/<target>/; the seeds
# in fuzz/corpus/<target> are only read. Usage: scripts/fuzz.sh <target> [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_BUILD_DIR:-$root/build-fuzz}"
target="${1:?target: option_lines, ini_file, time_ranges, matrices, rc_override, picture_setters}"
seconds="${2:-600}"
work="$build/fuzz-work/$target"
mkdir -p "$work/corpus" "$work/artifacts"
dict=()
if [[ -f "$root/fuzz/$target.dict" ]]; then dict=(-dict="$root/fuzz/$target.dict"); fi
exec nice "$build/bin/fuzz_$target" "$work/corpus" "$root/fuzz/corpus/$target" "${dict[@]}" \
  -artifact_prefix="$work/artifacts/" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=16384 -print_final_stats=1
