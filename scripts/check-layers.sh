#!/usr/bin/env bash
# Fails on any include of another layer that docs/ARCHITECTURE.md's layer table does not
# allow: every source file of Src/, header or not, against the table's "may use" column.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
map="$root/docs/ARCHITECTURE.md"
layers=$(cd "$root/Src" && find . -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort)
# One line a layer: the layer, then what it may include (layers, or single files as app/Unit).
allowed=$(awk -F'|' -v layers="$layers" '
  BEGIN { n = split(layers, known, "\n"); for (i = 1; i <= n; ++i) isLayer[known[i]] = 1 }
  /^\| `Src\/[a-z]+`/ {
    layer = $2; gsub(/[ `]|Src\//, "", layer)
    uses = $4; out = layer; words_only = ""
    while (match(uses, /`Src\/[A-Za-z\/]+`/)) {
      out = out " " substr(uses, RSTART + 5, RLENGTH - 6)
      words_only = words_only " " substr(uses, 1, RSTART - 1); uses = substr(uses, RSTART + RLENGTH)
    }
    m = split(words_only " " uses, words, /[^A-Za-z]+/)
    for (i = 1; i <= m; ++i) if (words[i] in isLayer) out = out " " words[i]
    print out
  }' "$map")
# Files every layer may include, from the map's line "Every layer may use ...".
everywhere=$(grep '^Every layer may use' "$map" | grep -o '`Src/[A-Za-z/]*`' | tr -d '`' |
  sed 's|^Src/||' | tr '\n' ' ')
failed=0
for layer in $layers; do
  rule=$(printf '%s\n' "$allowed" | awk -v l="$layer" '$1 == l')
  if [ -z "$rule" ]; then
    echo "check-layers: Src/$layer has no row in docs/ARCHITECTURE.md's layer table"
    failed=1
    continue
  fi
  read -r -a may <<<"$rule $everywhere"
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$include")
    used=${target%%/*}
    [ "$used" = "$target" ] && continue  # a name of its own folder
    ok=0
    for entry in "${may[@]}"; do
      if [ "$entry" = "$used" ] || [ "${target%.h}" = "$entry" ]; then ok=1; fi
    done
    if [ $ok = 0 ]; then
      echo "check-layers: ${file#"$root"/}:$line includes \"$target\"; Src/$layer may not use $used"
      failed=1
    fi
  done < <(grep -rn --include='*.cpp' --include='*.h' --include='*.c' '^[[:space:]]*#[[:space:]]*include "' "$root/Src/$layer" || true)
done
if [ $failed = 0 ]; then echo "check-layers: every include of Src/ follows the layer table"; fi
exit $failed
