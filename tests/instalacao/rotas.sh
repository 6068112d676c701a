#!/usr/bin/env bash
# Each documented install route, into a DESTDIR: the system package's prefix /usr, a prefix of
# its own under /opt, and a user's ~/.local. Each must leave its launcher and its autostart
# entry where desktops look for them (the XDG base directories' defaults), both valid, naming
# an executable and an icon that the same install put there, and the Prometheus files under
# share/servidor-lurma.
# Usage: rotas.sh BUILD_DIR
set -euo pipefail
build=$1
raiz=$(mktemp -d)
trap 'rm -rf "$raiz"' EXIT
export HOME=$raiz/home/loja
falhas=0
falha() { echo "FAIL [$prefixo]: $*" >&2; falhas=$((falhas + 1)); }

# Where desktops look when no XDG variable is set.
aplicacoes_xdg=(/usr/local/share/applications /usr/share/applications "$HOME/.local/share/applications")
autostart_xdg=(/etc/xdg/autostart "$HOME/.config/autostart")
icones_xdg=(/usr/local/share/icons /usr/share/icons "$HOME/.local/share/icons")

for prefixo in /usr /opt/ServidorLurma "$HOME/.local"; do
  destino=$raiz/destdir${prefixo//\//_}
  DESTDIR=$destino cmake --install "$build" --prefix "$prefixo" >"$destino.log" 2>&1 ||
    { falha "cmake --install failed"; cat "$destino.log" >&2; continue; }
  entradas=$(cd "$destino" && find . -name ServidorLurma.desktop | sed 's/^\.//' | sort)
  lancador="" autostart=""
  for e in $entradas; do
    pasta=$(dirname "$e")
    for a in "${aplicacoes_xdg[@]}"; do [ "$pasta" = "$a" ] && lancador=$e; done
    for a in "${autostart_xdg[@]}"; do [ "$pasta" = "$a" ] && autostart=$e; done
    case " ${aplicacoes_xdg[*]} ${autostart_xdg[*]} " in
      *" $pasta "*) ;;
      *) falha "an entry where no desktop looks: $e" ;;
    esac
  done
  [ -n "$lancador" ] || falha "no launcher in ${aplicacoes_xdg[*]} (found: $entradas)"
  [ -n "$autostart" ] || falha "no autostart entry in ${autostart_xdg[*]} (found: $entradas)"
  for e in $lancador $autostart; do
    desktop-file-validate "$destino$e" || falha "desktop-file-validate $e"
    exe=$(sed -n 's/^Exec=//p' "$destino$e")
    [ -x "$destino$exe" ] || falha "$e: Exec=$exe is not an installed executable"
    [ -e "$(dirname "$destino$exe")/libpqtLurma.so" ] || falha "no libpqtLurma.so beside $exe"
    icone=$(sed -n 's/^Icon=//p' "$destino$e")
    case $icone in
      /*) [ -s "$destino$icone" ] || falha "$e: Icon=$icone is not installed" ;;
      *)
        achado=""
        for d in "${icones_xdg[@]}"; do
          [ -s "$destino$d/hicolor/256x256/apps/$icone.png" ] && achado=1
        done
        [ -n "$achado" ] || falha "$e: icon $icone not in a theme folder that desktops search"
        ;;
    esac
  done
  # A chain's Prometheus files, as promtool reads them where they were installed.
  regras=$destino$prefixo/share/servidor-lurma/prometheus
  promtool check config "$regras/prometheus-lojas.yml" >/dev/null ||
    falha "the Prometheus example in $regras does not pass promtool check config"
  echo "route $prefixo: launcher $lancador, autostart $autostart"
done
exit $((falhas > 0))
