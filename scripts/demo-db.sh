#!/usr/bin/env bash
# Creates the demo product database once and prints its name as the program takes it.
# Usage: scripts/demo-db.sh [NAME]
# The default goes through the local Firebird server, into its own data folder, so it works for
# every user; a plain path (used by the screenshots, as root) is created by the embedded engine,
# which needs access to Firebird's lock folder (root or the group firebird).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
db=${1:-Localhost:/var/lib/firebird/3.0/data/ServidorLurma-demo.fdb}
login=(-user SYSDBA -password plumtower)
if ! echo 'SELECT COUNT(*) FROM ITENS;' | isql-fb -q "${login[@]}" "$db" >/dev/null 2>&1; then
  case $db in
    /*) mkdir -p "$(dirname "$db")" ;;
  esac
  {
    echo "CREATE DATABASE '$db' USER 'SYSDBA' PASSWORD 'plumtower' DEFAULT CHARACTER SET WIN1252;"
    cat "$here/demo-itens.sql"
  } | LC_ALL=C.UTF-8 isql-fb -q -b -ch UTF8 >/dev/null # in the C locale isql drops every non-ASCII letter
  case $db in
    /*) chmod 666 "$db" ;; # the local server may open it too, when the embedded engine has not
  esac
fi
echo "$db"
