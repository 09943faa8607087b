#!/usr/bin/env bash
# CI's check of the Debian package: builds it (scripts/package.sh), runs lintian (errors
# fail, warnings are listed), validates the AppStream metadata and the desktop entry, and
# unpacks it into a temporary root (never installing it) to run the programs from there
# with scratch settings and home folders: tovrena-cli --version, groups and one conversion
# with the settings installed on first start, and the window offscreen for a moment.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_PACKAGE_DIR:-$root/build-package}"
package="$("$root/scripts/package.sh")"
echo "check-package: $package"

fail() {
  echo "check-package: $*" >&2
  exit 1
}

work="$(mktemp -d "${TMPDIR:-/tmp}/tovrena-package.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Errors fail (lintian's status), warnings and notes are listed.
status=0
lintian --fail-on error --info "$package" >"$work/lintian.txt" 2>&1 || status=$?
grep -v -e '^N:' -e 'root privileges' "$work/lintian.txt" | sed 's/^/check-package: lintian: /' ||
  true
[[ $status -eq 0 ]] || fail "lintian reports errors"

unpacked="$work/root"
dpkg-deb -x "$package" "$unpacked"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
# The metadata together with the desktop entry and icons it names, as a software centre
# reads them from the installed files.
appstreamcli validate-tree --no-net "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/tovrena.desktop"

# The unpacked root stands for the system the package is installed on: the LibAV links
# point at the system's libraries through the root's own library folder.
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
[[ -e "$unpacked/usr/lib/$multiarch" ]] || ln -s "/usr/lib/$multiarch" "$unpacked/usr/lib/$multiarch"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
cli="$unpacked/usr/bin/tovrena-cli"
settings="$XDG_CONFIG_HOME/Tovrena/Settings"

version="$(dpkg-deb -f "$package" Version)"
"$cli" --version | grep -q "^tovrena-cli $version " || fail "tovrena-cli --version does not say $version"
[[ "$("$unpacked/usr/bin/tovrena" --version)" == "tovrena $version" ]] ||
  fail "tovrena --version does not say $version"
"$cli" groups | grep -qx MP4 || fail "tovrena-cli groups lists no MP4"

# The first command that reads profiles installs the defaults into the scratch folder.
[[ ! -e "$settings" ]] || fail "$settings exists before the first start"
mapfile -t profiles < <("$cli" profiles MP4)
[[ -f "$settings/codec.ini" && -f "$settings/MP4.ini" ]] ||
  fail "the first start installed no settings into $settings"
[[ "${profiles[0]}" != "[Custom]" ]] || fail "MP4 has no installed profile"

cmake --build "$build" --target tovrena-demo-clip >/dev/null
"$build/bin/tovrena-demo-clip" "$work/clip.avi"
"$cli" convert --group MP4 --profile "${profiles[0]}" --output-folder "$work/out" "$work/clip.avi"
"$cli" probe "$work/out/clip.mp4" | tee "$work/probe.txt"
grep -q "video" "$work/probe.txt" && grep -q "audio" "$work/probe.txt" ||
  fail "the converted file lacks a video or an audio stream"

# The window with settings of its own: it installs them on its first start and keeps
# running until it is told to stop.
export XDG_CONFIG_HOME="$work/window-config"
status=0
QT_QPA_PLATFORM=offscreen timeout 5 "$unpacked/usr/bin/tovrena" || status=$?
[[ $status -eq 124 ]] || fail "the window ended with status $status instead of running"
[[ -f "$XDG_CONFIG_HOME/Tovrena/Settings/codec.ini" ]] ||
  fail "the window's first start installed no settings"
echo "check-package: the package converts, validates and starts"
