# Sourced by the scripts that configure a build tree: compiles go through ccache when it is
# installed, so the sanitized and package trees and a later run on the same machine compile
# only what changed. A launcher or ccache setting the caller chose is kept. Paths are taken
# relative to the checkout and the build folder is left out of the hash, so another checkout
# of the same sources finds the same entries.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-20G}"
fi
