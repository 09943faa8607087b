#!/usr/bin/env bash
# Builds the tests with a sanitizer preset and runs them; any report fails.
#
#   asan (default): AddressSanitizer + LeakSanitizer + UndefinedBehaviorSanitizer over the
#     binding, engine, component, window (offscreen, and the real program under Xvfb) and
#     command-line tests; tovrena-cli, which the command-line tests run as a child, is
#     sanitized too and a report of the child fails the test that ran it.
#   tsan: ThreadSanitizer over the binding, engine, component and command-line tests: every
#     tovrena-cli run has the component's task threads feeding its run monitor (--jobs runs
#     them side by side, Ctrl+C and SIGTERM land on any of them).
#     The window's tests are left out: every thread of the window hands its work on through
#     Qt (QThreadPool's queue, events posted to the window's thread), whose futex-based
#     QMutex TSan cannot see in the uninstrumented Qt libraries, so each hand-off reads as a
#     race. The component they drive from threads is covered by the component tests.
#     The preset ignores what interceptors see when the uninstrumented media libraries call
#     them: their codec threads hand buffers on through atomics that TSan cannot see.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-asan}"
"$root/scripts/setup.sh"
cd "$root"
targets=(tovrena_binding_tests tovrena_engine_tests tovrena_component_tests tovrena_cli_tests
  tovrena-cli)
# Test programs not built here (ctest lists them as NOT_BUILT) are left out, and so are the
# window's under tsan should an earlier build have left them in the tree.
labels=()
case "$preset" in
  asan) targets+=(tovrena_app_tests tovrena) ;;
  tsan) labels=(--label-exclude '^tovrena_app_tests$') ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)" --target "${targets[@]}"
ctest --preset "$preset" --parallel "$(nproc)" --exclude-regex '_NOT_BUILT$' "${labels[@]}"
