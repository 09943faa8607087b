#!/usr/bin/env bash
# Configures and builds Tovrena into build/ (or $TOVRENA_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_BUILD_DIR:-$root/build}"
# TOVRENA_WERROR=ON (as CI sets it) turns warnings into errors.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${TOVRENA_BUILD_TYPE:-RelWithDebInfo}" \
  -DTOVRENA_WARNINGS_AS_ERRORS="${TOVRENA_WERROR:-OFF}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
