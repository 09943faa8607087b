#!/usr/bin/env bash
# Builds the Debian package tovrena_<version>_amd64.deb with CPack from a Release build tree
# of its own (build-package/, or $TOVRENA_PACKAGE_DIR), building only what the package
# holds, and prints the package's path as the only line on standard output (the build's
# messages go to standard error). Installing it: sudo apt install ./tovrena_*.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TOVRENA_PACKAGE_DIR:-$root/build-package}"
"$root/scripts/setup.sh" >&2
source "$root/scripts/compiler-cache.sh"
# Debian's hardening flags (all of them), as a package built the Debian way gets them, but
# no debug information: the programs are stripped, and without it (and its path mapping)
# the compiler cache also serves a clone in another folder, paths taken from its root.
export DEB_BUILD_MAINT_OPTIONS="${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
build_flags() {
  dpkg-buildflags --get "$1" | sed -E 's/(^| )-g( |$)/ /; s/-ffile-prefix-map=[^ ]*//'
}
export CFLAGS="${CFLAGS:-$(build_flags CFLAGS) $(build_flags CPPFLAGS)}"
export CXXFLAGS="${CXXFLAGS:-$(build_flags CXXFLAGS) $(build_flags CPPFLAGS)}"
export LDFLAGS="${LDFLAGS:-$(build_flags LDFLAGS)}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRENA_PACKAGE=ON \
  -DTOVRENA_WARNINGS_AS_ERRORS="${TOVRENA_WERROR:-OFF}" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  >/dev/null
cmake --build "$build" --target tovrena_package_files --parallel "$(nproc)" >&2
rm -f "$build"/tovrena_*.deb
(cd "$build" && cpack -G DEB >&2)
packages=("$build"/tovrena_*_amd64.deb)
echo "${packages[0]}"
