#!/usr/bin/env bash
# Creates the demo product database once and prints its path.
# Usage: scripts/demo-db.sh [PATH]   (default: $XDG_DATA_HOME/ServidorLurma/demo.fdb)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
db=${1:-${XDG_DATA_HOME:-$HOME/.local/share}/ServidorLurma/demo.fdb}
if [ ! -s "$db" ]; then
  mkdir -p "$(dirname "$db")"
  # Embedded engine (plain path): no server and no password needed to create it.
  {
    echo "CREATE DATABASE '$db' USER 'SYSDBA' PASSWORD 'plumtower' DEFAULT CHARACTER SET WIN1252;"
    cat "$here/demo-itens.sql"
  } | isql-fb -q -ch UTF8 >/dev/null
  chmod 666 "$db"
fi
echo "$db"
