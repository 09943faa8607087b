#!/usr/bin/env bash
# Fails when a C or C++ file that git tracks differs from what .clang-format makes of it.
# With --fix it formats them in place instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
mapfile -t files < <(git ls-files '*.c' '*.h' '*.cpp')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/tovrena-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/tovrena-format.$$ | cut -d: -f1 | sort -u |
    sed 's/^/format differs: /'
  rm -f /tmp/tovrena-format.$$
  echo "check-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/tovrena-format.$$
echo "check-format: ${#files[@]} files as .clang-format has them"
