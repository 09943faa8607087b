#!/usr/bin/env bash
# Prints the Debian dependencies on the media libraries the programs bind at run time from
# their LibAV folder, which dpkg-shlibdeps cannot see since nothing links them: for each
# versioned library linked there, the package that holds it (dpkg -S) with the version its
# shlibs entry asks for, joined with ", ". Fails when a library belongs to no package.
set -euo pipefail
folder="${1:?usage: media-library-depends.sh LIBAV_FOLDER}"
depends=()
for link in "$folder"/lib*.so.[0-9]*; do
  target="$(readlink "$link")"
  file="$(basename "$link")"      # libavcodec.so.59
  library="${file%%.so.*}"        # libavcodec
  major="${file##*.so.}"          # 59
  if ! owner="$(dpkg -S "$target" 2>/dev/null)"; then
    echo "media-library-depends: $target ($file) belongs to no installed package" >&2
    exit 1
  fi
  package="${owner%%:*}"
  entry="$(dpkg-query --control-show "$package" shlibs 2>/dev/null |
    awk -v lib="$library" -v major="$major" '$1 == lib && $2 == major { $1 = $2 = ""; print; exit }')"
  entry="$(echo "$entry" | sed 's/^ *//')"
  depends+=("${entry:-$package}")
done
if [[ ${#depends[@]} -eq 0 ]]; then
  echo "media-library-depends: no versioned libraries in $folder" >&2
  exit 1
fi
(IFS=,; echo "${depends[*]}" | sed 's/,/, /g')
