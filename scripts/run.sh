#!/usr/bin/env bash
# Sets up, builds and runs Tovrena: the window when a display is available. Without one,
# arguments go to the command-line front end tovrena-cli; with none, a short demo clip is
# made through the libraries and converted with the first profile of the MP4 group.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
# Only the programs started here: the tests, fuzzers and benchmarks are left to build.sh.
TOVRENA_BUILD_TARGETS="tovrena tovrena-cli tovrena-install-settings tovrena-demo-clip" \
  "$root/scripts/build.sh"
"$root/scripts/install-settings.sh"
bin="${TOVRENA_BUILD_DIR:-$root/build}/bin"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$bin/tovrena" "$@"
fi
if [[ $# -gt 0 ]]; then
  exec "$bin/tovrena-cli" "$@"
fi

echo "No display: converting a demo clip with tovrena-cli (see tovrena-cli --help)."
demo="$(mktemp -d "${TMPDIR:-/tmp}/tovrena-demo.XXXXXX")"
"$bin/tovrena-demo-clip" "$demo/demo.avi"
mapfile -t profiles < <("$bin/tovrena-cli" profiles MP4)
"$bin/tovrena-cli" convert --group MP4 --profile "${profiles[0]}" --threads 0 \
  --output-folder "$demo/out" "$demo/demo.avi"
output=("$demo"/out/demo.*)
echo "Output: ${output[0]}"
