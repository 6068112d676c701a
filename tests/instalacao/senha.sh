#!/usr/bin/env bash
# scripts/senha-sysdba.sh against a stand-in gsec that keeps "the server's" SYSDBA password in
# a file (the real server's password must not move): it changes the password only when the
# package's record opens the server, then keeps the record in step; otherwise it changes
# nothing and says how to give the program its login.
# Usage: senha.sh SCRIPTS_DIR
set -euo pipefail
scripts=$(cd "$1" && pwd)
raiz=$(mktemp -d)
trap 'rm -rf "$raiz"' EXIT
mkdir "$raiz/bin"
cat >"$raiz/bin/gsec" <<'FAKE'
#!/usr/bin/env bash
# gsec -user SYSDBA -password P (-display SYSDBA | -modify SYSDBA -pw NEW)
echo "gsec $*" >>"$GSEC_LOG"
[ "$4" = "$(cat "$GSEC_SENHA")" ] || { echo "Your user name and password are not defined." >&2; exit 1; }
case $5 in
  -display) exit 0 ;;
  -modify) printf '%s' "$8" >"$GSEC_SENHA" ;;
  *) exit 2 ;;
esac
FAKE
# For a user other than root the script asks sudo; here the stand-ins need no rights.
printf '#!/bin/sh\nexec "$@"\n' >"$raiz/bin/sudo"
chmod +x "$raiz/bin/gsec" "$raiz/bin/sudo"

falhas=0
# case | server's password | record's ISC_PASSWORD line | server after | record line after | output says
while IFS='|' read -r caso servidor linha depois linha_depois diz; do
  export GSEC_LOG=$raiz/$caso.log GSEC_SENHA=$raiz/$caso.senha SYSDBA_PASSWORD_FILE=$raiz/$caso.registro
  printf '%s' "$servidor" >"$GSEC_SENHA"
  : >"$GSEC_LOG"
  if [ "$linha" != "-" ]; then
    printf '# Password for firebird SYSDBA user\n\nISC_USER=sysdba\n%s\n' "$linha" >"$SYSDBA_PASSWORD_FILE"
  fi
  cp "$SYSDBA_PASSWORD_FILE" "$raiz/$caso.antes" 2>/dev/null || true
  saida=$(PATH=$raiz/bin:$PATH bash "$scripts/senha-sysdba.sh" 2>&1) || { echo "FAIL $caso: exit $?"; falhas=$((falhas + 1)); }
  erro() { echo "FAIL $caso: $*"; echo "$saida" | sed 's/^/    /'; falhas=$((falhas + 1)); }
  [ "$(cat "$GSEC_SENHA")" = "$depois" ] || erro "server's password is $(cat "$GSEC_SENHA"), wanted $depois"
  if [ "$linha" != "-" ]; then
    grep -qx "$linha_depois" "$SYSDBA_PASSWORD_FILE" || erro "record lacks $linha_depois"
    [ "$(grep -cv '^ISC_PASSWORD=' "$SYSDBA_PASSWORD_FILE")" = 3 ] || erro "record lost its other lines"
    if [ "$linha" = "$linha_depois" ]; then
      cmp -s "$SYSDBA_PASSWORD_FILE" "$raiz/$caso.antes" || erro "record changed"
    fi
  fi
  grep -q -- "$diz" <<<"$saida" || erro "output does not say: $diz"
  if [ "$servidor" = "$depois" ] && grep -q -- '-modify' "$GSEC_LOG"; then erro "gsec -modify was called"; fi
done <<'CASOS'
ja-pronto|plumtower|ISC_PASSWORD="2f916fe7"|plumtower|ISC_PASSWORD="2f916fe7"|nothing to change
intocado|a1b2c3d4|ISC_PASSWORD="a1b2c3d4"|plumtower|ISC_PASSWORD="plumtower"|changed SYSDBA's password
intocado-sem-aspas|a1b2c3d4|ISC_PASSWORD=a1b2c3d4|plumtower|ISC_PASSWORD="plumtower"|wrote it into
escolhida-pelo-dono|segredo|ISC_PASSWORD="a1b2c3d4"|segredo|ISC_PASSWORD="a1b2c3d4"|Nothing was changed
sem-registro|segredo|-|segredo|-|gsec -user SYSDBA -password CURRENT
registro-vazio|segredo|ISC_PASSWORD=""|segredo|ISC_PASSWORD=""|Nothing was changed
CASOS
[ "$falhas" -eq 0 ] && echo "all cases passed"
exit $((falhas > 0))
