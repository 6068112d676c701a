#!/usr/bin/env bash
# Pictures of the real program under Xvfb at its real size, from the demo database:
# docs/pagina-principal.png (the server started, one terminal connected, one barcode answered)
# and docs/pagina-cadastro.png (the register listed into the grid).
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build}/bin" && pwd)
docs=$PWD/docs

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

db=$(scripts/demo-db.sh)
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
mkdir -p "$docs"
import -window "$window" "$docs/pagina-principal.png"

# Page "Cadastro" (Ctrl+Tab from the focused page), then "Listar Cadastro" (bottom right of
# Panel2: PageControl1 at 16,13, the page below its tab bar, the button at 378,169 in it).
xdotool windowfocus --sync "$window" key ctrl+Tab
sleep 0.5
xdotool mousemove --window "$window" 460 225 click 1
sleep 2
import -window "$window" "$docs/pagina-cadastro.png"
for f in pagina-principal pagina-cadastro; do
  echo "screenshot: $docs/$f.png ($(identify -format '%wx%h' "$docs/$f.png"))"
done
