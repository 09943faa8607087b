#!/bin/sh
# Starts the installed Tovrena, first putting the default settings into the user's
# settings folder where they are missing (files already there are never touched).
here="$(dirname "$(readlink -f "$0")")"
program="$here/../lib/tovrena"
"$program/tovrena-install-settings" "$here/../share/tovrena/settings" >/dev/null || true
exec "$program/tovrena" "$@"
