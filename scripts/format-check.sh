#!/usr/bin/env bash
# Checks that every C and C++ source of the tree is laid out as .clang-format
# says; lists the files that are not and fails. `scripts/format-check.sh --fix`
# rewrites them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' |
    while read -r f; do [ -f "$f" ] && echo "$f"; done)
else
  mapfile -t files < <(find src tests bench fuzz examples -name '*.cpp' -o -name '*.h' -o -name '*.c')
fi
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]})); then
  echo "format-check: ${#bad[@]} file(s) differ from .clang-format (scripts/format-check.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format-check: ${#files[@]} files follow .clang-format"
