#!/usr/bin/env bash
# Prepares a Debian machine to build, test and run the server: packages, a running local
# Firebird server on loopback and, where that is safe, the SYSDBA password the program
# connects with (scripts/senha-sysdba.sh).
# Safe to run again: every step checks before it acts.
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  libgl-dev libxkbcommon-dev
  firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
  libasio-dev libgtest-dev ccache
  fonts-dejavu-core xvfb xauth x11-utils imagemagick xdotool
  libxml2-utils clang libclang-rt-14-dev desktop-file-utils qt6-translations-l10n
  procps iproute2 tmux
  prometheus-cpp-dev prometheus chromium
  g++-mingw-w64-x86-64 wine64
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

fb_running() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

if ! fb_running; then
  echo "setup: starting the Firebird server"
  $SUDO /usr/sbin/fbguard -daemon -forever
  for _ in $(seq 1 50); do fb_running && break; sleep 0.2; done
  fb_running || { echo "setup: Firebird server did not come up on 127.0.0.1:3050" >&2; exit 1; }
fi

"$(dirname "$0")/senha-sysdba.sh"
echo "setup: ready"
