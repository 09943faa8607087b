#!/usr/bin/env bash
# Builds the binding, engine and component tests with a sanitizer preset (asan by default:
# AddressSanitizer + UndefinedBehaviorSanitizer; or tsan) and runs them; any report fails.
# Under tsan the preset ignores what interceptors see when the uninstrumented media libraries
# call them: their codec threads hand buffers on through atomics that TSan cannot see.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-asan}"
"$root/scripts/setup.sh"
cd "$root"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" \
  --target tovrena_binding_tests tovrena_engine_tests tovrena_component_tests
# The app and command-line tests are not built here; ctest lists them as NOT_BUILT.
ctest --preset "$preset" --parallel "$(nproc)" --exclude-regex '_NOT_BUILT$'
