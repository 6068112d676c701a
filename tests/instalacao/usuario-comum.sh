#!/usr/bin/env bash
# A shop's user: neither root nor in the group firebird, the programs in a folder that user
# cannot write, this machine's locale at C. As that user: the demo set-up and a scan through
# the real server (offscreen), the real terminal library and the local Firebird server; a
# plain database path, which the embedded engine cannot open for that user, answered with
# advice in the error log; and where the register goes when the program's folder is read-only.
# Runs as root (it creates the user); exit 77 (skipped) otherwise.
# Usage: usuario-comum.sh BIN_DIR SCRIPTS_DIR TEST_SHELL
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "needs root to create an unprivileged user"; exit 77; }
bin=$(cd "$1" && pwd)
scripts=$(cd "$2" && pwd)
test_shell=$3
usuario=lurma-loja
id "$usuario" >/dev/null 2>&1 || useradd --no-create-home --shell /bin/bash "$usuario" || true
id "$usuario" >/dev/null
if id -nG "$usuario" | grep -qw firebird; then
  echo "FAIL: $usuario is in the group firebird"; exit 1
fi

raiz=$(mktemp -d)
trap 'rm -rf "$raiz"' EXIT
chmod 755 "$raiz"
mkdir "$raiz/programa" "$raiz/scripts" "$raiz/casa"
cp "$bin/ServidorLurma" "$bin/libpqtLurma.so" "$bin/lurma-terminal" "$raiz/programa/"
cp "$scripts/demo.sh" "$scripts/demo-db.sh" "$scripts/demo-itens.sql" "$raiz/scripts/"
chmod -R a+rX "$raiz"
chmod 555 "$raiz/programa" # as under /usr/lib: the register cannot go beside the program
chown "$usuario" "$raiz/casa"
# Below the kernel's ephemeral ports (32768 on), where the other tests running beside take theirs.
porta=$((20000 + RANDOM % 12000))
# Sanitizer settings pass through (a sanitized build tree).
sanitizador=()
for v in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -z "${!v:-}" ] || sanitizador+=("$v=${!v}")
done
como_usuario() {
  timeout -s KILL 120 runuser -u "$usuario" -- env -i PATH=/usr/bin:/bin HOME="$raiz/casa" \
    USER="$usuario" LC_ALL=C LANG=C LURMA_PORT="$porta" LURMA_BIND=127.0.0.1 LURMA_PAINEL= \
    LURMA_ERROR_LOG="$raiz/casa/erros.log" LURMA_REPLY_TIMEOUT_MS=1500 \
    ${sanitizador[@]+"${sanitizador[@]}"} "$@"
}
falhas=0
falha() { echo "FAIL: $*"; falhas=$((falhas + 1)); }

# The demo as run.sh serves it: the money format is Brazilian whatever the machine's locale.
saida=$(como_usuario bash "$raiz/scripts/demo.sh" "$raiz/programa" scan 7890001001006 7890001002379 1234567890128 2>&1) ||
  falha "demo.sh ended with $?"
echo "$saida"
grep -q '^PRICE|  ARROZ TIPO 1 5KG  |.*R\$.24,90 *|$' <<<"$saida" || falha "no R\$ 24,90 for 7890001001006"
grep -qx 'NOTFOUND|' <<<"$saida" || falha "no NOTFOUND for an unknown code"
grep -q '^PRICE|.*AÇÚCAR CRISTAL 1KG' <<<"$saida" || falha "the demo's accented letters are lost"
ini="$raiz/casa/.config/ZELNA'S Software/ServidorLurma.ini"
grep -q '^EditDatabase=Localhost:' "$ini" || falha "the remembered demo path does not go through the server: $(cat "$ini")"
[ ! -s "$raiz/casa/erros.log" ] || falha "errors reported: $(cat "$raiz/casa/erros.log")"

# A plain path: the embedded engine has no lock folder for this user. The scan goes unanswered
# and the error says what to do.
"$scripts/demo-db.sh" "$raiz/plano.fdb" >/dev/null
printf '[Config]\nEditDatabase=%s\n' "$raiz/plano.fdb" >"$ini"
saida=$(como_usuario bash "$raiz/scripts/demo.sh" "$raiz/programa" scan 7890001001006 2>&1) ||
  falha "demo.sh with a plain path ended with $?"
grep -qx 'NOREPLY|' <<<"$saida" || falha "a plain path was answered: $saida"
erros=$(cat "$raiz/casa/erros.log" 2>/dev/null || true)
echo "error log: $erros"
grep -q 'Permission denied' <<<"$erros" || falha "the client's own text is missing"
grep -q "grupo firebird (sudo adduser $usuario firebird" <<<"$erros" || falha "no advice to join the group"
grep -q "Localhost:$raiz/plano.fdb" <<<"$erros" || falha "no advice to use Localhost:"

# The register's folder when the program's own cannot be written, as this user.
como_usuario "$test_shell" --gtest_filter='CadastroFolder.*' >"$raiz/pasta.log" 2>&1 ||
  { falha "CadastroFolder as $usuario"; cat "$raiz/pasta.log"; }

exit $((falhas > 0))
