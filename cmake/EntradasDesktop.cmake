# Run at install time (install(SCRIPT)): writes the launcher and the autostart entry where
# desktops look for them (XDG base directories), whatever the prefix chosen at install time:
#   /usr, /usr/local         launcher in <prefix>/share/applications, icon by name
#   $HOME/.local (per user)  launcher in ~/.local/share/applications, autostart in
#                            ~/.config/autostart
#   any other (/opt/...)     launcher in /usr/local/share/applications, icon by its full path
# System-wide routes put the autostart entry in /etc/xdg/autostart.
# Expects LURMA_DESKTOP_IN, LURMA_LIBDIR and LURMA_DATADIR (relative to the prefix).
set(prefixo "${CMAKE_INSTALL_PREFIX}")
cmake_path(NORMAL_PATH prefixo)
string(REGEX REPLACE "(.)/$" "\\1" prefixo "${prefixo}")
set(pessoal "$ENV{HOME}/.local")
cmake_path(NORMAL_PATH pessoal)
string(REGEX REPLACE "(.)/$" "\\1" pessoal "${pessoal}")

set(LURMA_EXEC "${prefixo}/${LURMA_LIBDIR}/ServidorLurma/ServidorLurma")
if(prefixo STREQUAL "${pessoal}")
  set(aplicacoes "${prefixo}/${LURMA_DATADIR}/applications")
  set(autostart "$ENV{HOME}/.config/autostart")
  set(LURMA_ICON ServidorLurma)
elseif(prefixo STREQUAL "/usr" OR prefixo STREQUAL "/usr/local")
  set(aplicacoes "${prefixo}/${LURMA_DATADIR}/applications")
  set(autostart /etc/xdg/autostart)
  set(LURMA_ICON ServidorLurma)
else()
  set(aplicacoes /usr/local/share/applications)
  set(autostart /etc/xdg/autostart)
  set(LURMA_ICON "${prefixo}/${LURMA_DATADIR}/icons/hicolor/256x256/apps/ServidorLurma.png")
endif()

foreach(pasta IN ITEMS "${aplicacoes}" "${autostart}")
  set(destino "$ENV{DESTDIR}${pasta}/ServidorLurma.desktop")
  message(STATUS "Installing: ${destino}")
  configure_file("${LURMA_DESKTOP_IN}" "${destino}" @ONLY)
endforeach()
