#!/usr/bin/env bash
# The newcomer's command: set-up, build, a demo database, the server and a simulated terminal.
# Ctrl+C ends both; the server leaves through its normal exit, which keeps Cadastro.xml.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only what runs: the tests are built by scripts/test.sh.
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target ServidorLurma pqtLurma lurma-terminal
bin=$PWD/build/bin

db=$(scripts/demo-db.sh)
settings="${XDG_CONFIG_HOME:-$HOME/.config}/ZELNA'S Software/ServidorLurma.ini"
if ! grep -qs '^EditDatabase=.' "$settings"; then
  mkdir -p "$(dirname "$settings")"
  printf '[Config]\nEditDatabase=%s\n' "$db" >>"$settings"
  echo "run: the server will read the demo database $db"
fi

[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
"$bin/ServidorLurma" &
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
  kill -0 "$server" 2>/dev/null || { echo "run: the server ended early" >&2; exit 1; }
  sleep 0.2
done

cat <<TXT

The server runs (window: ${QT_QPA_PLATFORM:-on your display}) and listens on port $port.
A simulated terminal follows. Type a barcode and Enter, for example:
  7890001001006   (ARROZ TIPO 1 5KG)      7890001002379   (AÇÚCAR CRISTAL 1KG)
  1234567890128   (unknown: not found)
Ctrl+C ends the terminal and the server.

TXT
"$bin/lurma-terminal" --server "127.0.0.1:$port"
