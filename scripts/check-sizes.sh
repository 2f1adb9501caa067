#!/usr/bin/env bash
# Fails when a unit of the service is longer than 600 lines or one of its
# functions longer than 150 (a function: from a line that opens at the
# left margin to the next closing brace there). Run by ctest as "sizes".
# Usage: check-sizes.sh [project root]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
# Still to be split: each line a file, or a file:function-start line.
pending="
"
status=0
while IFS= read -r file; do
  lines=$(wc -l <"$file")
  if [[ $lines -gt 600 && $pending != *$'\n'"$file"$'\n'* ]]; then
    echo "$file: $lines lines, more than 600" >&2
    status=1
  fi
  while IFS=: read -r start length; do
    [[ $pending == *$'\n'"$file"$'\n'* ]] && continue
    echo "$file:$start: a function of $length lines, more than 150" >&2
    status=1
  done < <(awk '/^[A-Za-z_].*[^;]$/ && start == 0 { start = NR }
                /^[A-Za-z_].*;$/ { start = 0 }
                /^}/ { if (start && NR - start + 1 > 150) print start ":" NR - start + 1; start = 0 }' "$file")
done < <(find server -name '*.cpp' -o -name '*.h' | sort)
if [[ $status -eq 0 ]]; then echo "sizes: no unit over 600 lines, no function over 150"; fi
exit $status
