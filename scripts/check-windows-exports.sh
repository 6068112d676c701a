#!/usr/bin/env bash
# Checks that a pqtLurma.dll exports exactly the thirteen functions that pqtLurma.h names,
# nothing more and nothing less.
set -euo pipefail
cd "$(dirname "$0")/.."
DLL=${1:-build-windows/bin/pqtLurma.dll}

expected=$(printf '#include "pqtLurma.h"\nEXPORTS: PQTLURMA_FUNCTIONS(NAME)\n' |
  cpp -P -DNAME\(x\)=x -Ilurma/include - | sed -n 's/^EXPORTS: //p' | tr -s ' ' '\n' | sort)
# The export table's name list: "[ordinal] name" lines after "[Ordinal/Name Pointer] Table".
actual=$(x86_64-w64-mingw32-objdump -p "$DLL" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[\s*[0-9]*\] //p' | sort)

if [ "$expected" != "$actual" ]; then
  echo "check-windows-exports: $DLL exports differ from pqtLurma.h" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
echo "check-windows-exports: $DLL exports the $(echo "$expected" | wc -l) functions of pqtLurma.h"
