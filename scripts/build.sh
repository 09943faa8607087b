#!/usr/bin/env bash
# Configures and builds Tovrena into build/ (or $TOVRENA_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/compiler-cache.sh"
build="${TOVRENA_BUILD_DIR:-$root/build}"
# TOVRENA_WERROR=ON (as CI sets it) turns warnings into errors. TOVRENA_BUILD_TARGETS (blank
# separated) builds only those targets and what they need instead of everything.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TOVRENA_BUILD_TYPE:-RelWithDebInfo}" \
  -DTOVRENA_WARNINGS_AS_ERRORS="${TOVRENA_WERROR:-OFF}" "$@" >/dev/null
targets=()
for target in ${TOVRENA_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" --parallel "$(nproc)" "${targets[@]}"
