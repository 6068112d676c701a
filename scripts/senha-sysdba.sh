#!/usr/bin/env bash
# Gives the program its login on the local Firebird server (SYSDBA, password plumtower) only
# where that is sure to harm nobody: a server whose SYSDBA password is still the one the
# package recorded at install time. Then it keeps that record in step and says so. On any
# other server it changes nothing and says how to give the program its login.
# Called by scripts/setup.sh with the server running.
set -euo pipefail
programa=plumtower
registro=${SYSDBA_PASSWORD_FILE:-/etc/firebird/3.0/SYSDBA.password}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

entra() { gsec -user SYSDBA -password "$1" -display SYSDBA >/dev/null 2>&1; }

if entra "$programa"; then
  echo "setup: SYSDBA logs in with the program's password; nothing to change"
  exit 0
fi

gravada=""
if [ -e "$registro" ]; then
  gravada=$($SUDO sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$registro" | tail -n 1)
fi
if [ -n "$gravada" ] && entra "$gravada"; then
  $SUDO gsec -user SYSDBA -password "$gravada" -modify SYSDBA -pw "$programa"
  $SUDO sed -i "s/^ISC_PASSWORD=.*/ISC_PASSWORD=\"$programa\"/" "$registro"
  echo "setup: changed SYSDBA's password on the local Firebird server from the one the package"
  echo "       recorded to the program's ($programa), and wrote it into $registro"
  exit 0
fi

cat >&2 <<TXT
setup: the local Firebird server's SYSDBA password is neither the program's nor the one
       recorded in $registro: someone chose it, and other software may use it.
       Nothing was changed. The program logs in as SYSDBA with the password $programa.
       To give it that login, whoever knows the current password runs
         gsec -user SYSDBA -password CURRENT -modify SYSDBA -pw $programa
       and writes ISC_PASSWORD="$programa" into $registro.
       A database named by a plain path (no Localhost:) needs no password: the embedded
       engine opens it for root and members of the group firebird.
TXT
