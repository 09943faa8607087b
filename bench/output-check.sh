#!/usr/bin/env bash
# What checking a finished output costs against the conversion it ends: a 10 s 640x360
# clip converted to MP4, MKV and AVI with tovrena-cli (wall time, median of BENCH_RUNS,
# default 3), and the median of 50 checks of each output. Prints one line per format and
#   check: worst=P%
# P being the largest share of a conversion's time the check takes. Not run by CI.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_BUILD_DIR:-$root/build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
bin="$build/bin"
runs="${BENCH_RUNS:-3}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TOVRENA_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" --target tovrena-cli tovrena-install-settings tovrena-bench-clip \
  tovrena-bench-check >/dev/null

work="$(mktemp -d "${TMPDIR:-/tmp}/tovrena-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
"$bin/tovrena-install-settings" "$root/settings" >/dev/null
"$bin/tovrena-bench-clip" "$work/clip.avi" 10 640x360

median() { sort -g | awk '{v[NR] = $1} END {print ((NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }
worst=0
for group in MP4 MKV AVI; do
  extension="$(tr '[:upper:]' '[:lower:]' <<<"$group")"
  samples=""
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out"
    start=$(date +%s.%N)
    "$bin/tovrena-cli" convert -g "$group" -o "$work/out" "$work/clip.avi" >/dev/null 2>&1
    samples+="$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print (b - a) * 1000}')"$'\n'
  done
  job_ms=$(median <<<"${samples%$'\n'}")
  check_ms=$("$bin/tovrena-bench-check" "$work/out/clip.$extension" 50)
  share=$(awk -v c="$check_ms" -v j="$job_ms" 'BEGIN {printf "%.3f", 100 * c / j}')
  printf '%-4s job %8.1f ms  check %7.3f ms  %s%%\n' "$group" "$job_ms" "$check_ms" "$share"
  worst=$(awk -v a="$worst" -v b="$share" 'BEGIN {print (b > a ? b : a)}')
done
echo "check: worst=$worst%"
