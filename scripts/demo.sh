#!/usr/bin/env bash
# Serves the demo with programs already built: the demo database, its path remembered for the
# window when none is yet, the server in Brazilian Portuguese and a simulated terminal.
# Usage: scripts/demo.sh BIN_DIR [lurma-terminal arguments]   (none: the interactive terminal)
# Ctrl+C ends both; the server leaves through its normal exit, which keeps Cadastro.xml.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -eq 0 ] || [ ! -d "$1" ]; then
  echo "usage: scripts/demo.sh BIN_DIR [lurma-terminal arguments]   (BIN_DIR: e.g. build/bin)" >&2
  exit 2
fi
bin=$(cd "$1" && pwd)
shift

db=$("$here/demo-db.sh")
settings="${XDG_CONFIG_HOME:-$HOME/.config}/ZELNA'S Software/ServidorLurma.ini"
if ! grep -qs '^EditDatabase=.' "$settings"; then
  mkdir -p "$(dirname "$settings")"
  # Into the one [Config] group: an empty value replaced, the key added to the group there is,
  # a group only where there is none (never a second [Config]).
  if grep -qs '^EditDatabase=$' "$settings"; then
    sed -i "s|^EditDatabase=\$|EditDatabase=$db|" "$settings"
  elif grep -qs '^\[Config\]$' "$settings"; then
    sed -i "/^\[Config\]\$/a EditDatabase=$db" "$settings"
  else
    printf '[Config]\nEditDatabase=%s\n' "$db" >>"$settings"
  fi
  echo "demo: the server will read the demo database $db"
fi

[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
# The shop's language whatever this machine's: prices as R$ 24,90, Qt's own texts in Portuguese.
LC_ALL=pt_BR.UTF-8 LANG=pt_BR.UTF-8 LANGUAGE=pt_BR "$bin/ServidorLurma" &
server=$!
stop() {
  kill -TERM "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
}
trap stop EXIT
trap 'exit 0' INT TERM

port=${LURMA_PORT:-6550}
for _ in $(seq 1 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || { echo "demo: the server ended early" >&2; exit 1; }
  sleep 0.2
done

if [ $# -eq 0 ]; then
  cat <<TXT

The server runs (window: ${QT_QPA_PLATFORM:-on your display}) and listens on port $port.
A simulated terminal follows. Type a barcode and Enter, for example:
  7890001001006   (ARROZ TIPO 1 5KG)      7890001002379   (AÇÚCAR CRISTAL 1KG)
  1234567890128   (unknown: not found)
Ctrl+C ends the terminal and the server.

TXT
fi
"$bin/lurma-terminal" --server "127.0.0.1:$port" "$@"
