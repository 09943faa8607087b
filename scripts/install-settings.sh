#!/usr/bin/env bash
# Installs the default codec catalogue and profiles (settings/) into the user's settings
# folder, $XDG_CONFIG_HOME/Tovrena/Settings or ~/.config/Tovrena/Settings, keeping only
# what the built program's media libraries can encode. Files already there are never
# touched. An optional argument names another settings folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
installer="${TOVRENA_BUILD_DIR:-$root/build}/bin/tovrena-install-settings"
if [[ ! -x "$installer" ]]; then
  echo "install-settings: $installer is missing; run scripts/build.sh first" >&2
  exit 1
fi
exec "$installer" "$root/settings" "$@"
