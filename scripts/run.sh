#!/usr/bin/env bash
# Sets up, builds and runs Tovrena.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/install-settings.sh"
exec "${TOVRENA_BUILD_DIR:-$root/build}/bin/tovrena" "$@"
