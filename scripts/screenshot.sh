#!/usr/bin/env bash
# Takes docs/screenshot-principal.png: the main window under Xvfb at its real size, with the
# server started, one terminal connected and one barcode answered from the demo database.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build}/bin" && pwd)
out=$PWD/docs/screenshot-principal.png

if [ -z "${LURMA_SCREENSHOT_INNER:-}" ]; then
  exec env LURMA_SCREENSHOT_INNER=1 xvfb-run -a -s "-screen 0 800x800x24 -dpi 96" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

db=$(scripts/demo-db.sh "$work/demo.fdb")
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/ZELNA'S Software"
printf '[Config]\nEditDatabase=%s\n' "$db" >"$XDG_CONFIG_HOME/ZELNA'S Software/ServidorLurma.ini"
export LURMA_BIND=127.0.0.1 LURMA_PORT=$((20000 + RANDOM % 20000))

"$bin/ServidorLurma" &
pids+=($!)
# The window starts the server one second after it is shown; without a notification area it
# is minimised, which without a window manager leaves it on the screen.
for _ in $(seq 1 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$LURMA_PORT") 2>/dev/null && break
  sleep 0.2
done
"$bin/lurma-terminal" --server "127.0.0.1:$LURMA_PORT" --address 127.0.0.2 idle >/dev/null &
pids+=($!)
sleep 0.5
"$bin/lurma-terminal" --server "127.0.0.1:$LURMA_PORT" --address 127.0.0.3 scan 7890001001006 >/dev/null
sleep 1

window=$(xwininfo -root -tree | awk '/ 544x696\+/ {print $1; exit}')
[ -n "$window" ] || { echo "screenshot: the main window is not on the screen" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "screenshot: $out ($(identify -format '%wx%h' "$out"))"
