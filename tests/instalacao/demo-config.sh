#!/usr/bin/env bash
# scripts/demo.sh's arguments and its remembered path, with stand-ins for the database script
# and the programs (the real demo runs in usuario-comum.sh): without arguments it says how to
# call it; it writes the demo path into the one [Config] group of the settings file, keeps a
# path already remembered and never adds a second group.
# Usage: demo-config.sh SCRIPTS_DIR
set -euo pipefail
scripts=$(cd "$1" && pwd)
raiz=$(mktemp -d)
trap 'rm -rf "$raiz"' EXIT
mkdir "$raiz/scripts" "$raiz/bin"
cp "$scripts/demo.sh" "$raiz/scripts/"
printf '#!/bin/sh\necho Localhost:/demo.fdb\n' >"$raiz/scripts/demo-db.sh"
# A server that ends at once: the demo stops there, after writing the settings.
printf '#!/bin/sh\nexit 0\n' >"$raiz/bin/ServidorLurma"
cp "$raiz/bin/ServidorLurma" "$raiz/bin/lurma-terminal"
chmod +x "$raiz/scripts/demo-db.sh" "$raiz/bin/ServidorLurma" "$raiz/bin/lurma-terminal"
falhas=0
falha() { echo "FAIL $*"; falhas=$((falhas + 1)); }

saida=$(bash "$raiz/scripts/demo.sh" 2>&1) && falha "no arguments: exit 0"
grep -q '^usage: scripts/demo.sh BIN_DIR' <<<"$saida" || falha "no arguments: no usage line: $saida"
grep -q 'unbound' <<<"$saida" && falha "no arguments: $saida"

export XDG_CONFIG_HOME=$raiz/config
ini="$XDG_CONFIG_HOME/ZELNA'S Software/ServidorLurma.ini"
# case | settings file before (\n for line breaks, - for none) | file after
while IFS='|' read -r caso antes depois; do
  rm -rf "$XDG_CONFIG_HOME"
  if [ "$antes" != "-" ]; then
    mkdir -p "$(dirname "$ini")"
    printf "$antes" >"$ini"
  fi
  bash "$raiz/scripts/demo.sh" "$raiz/bin" scan 1 >/dev/null 2>&1 || true
  [ "$(cat "$ini")" = "$(printf "$depois")" ] ||
    falha "$caso: settings file is"$'\n'"$(cat "$ini")"$'\n'"wanted"$'\n'"$(printf "$depois")"
done <<'CASOS'
sem-arquivo|-|[Config]\nEditDatabase=Localhost:/demo.fdb
grupo-sem-chave|[Config]\nOutra=1\n|[Config]\nEditDatabase=Localhost:/demo.fdb\nOutra=1
chave-vazia|[Config]\nEditDatabase=\nOutra=1\n|[Config]\nEditDatabase=Localhost:/demo.fdb\nOutra=1
outro-grupo|[General]\nX=1\n|[General]\nX=1\n[Config]\nEditDatabase=Localhost:/demo.fdb
ja-lembrado|[Config]\nEditDatabase=/loja.fdb\n|[Config]\nEditDatabase=/loja.fdb
CASOS
[ "$falhas" -eq 0 ] && echo "all cases passed"
exit $((falhas > 0))
