# The Debian package: the program, the terminal library, the simulated terminal, the desktop
# entries, the icon and the chain's Prometheus files (painel/prometheus, installed under
# /usr/share/servidor-lurma/prometheus). `cpack -G DEB` in the build directory makes it.
include(GNUInstallDirs)
install(TARGETS lurma-terminal RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME servidor-lurma)
set(CPACK_PACKAGE_VENDOR "ZELNA'S Software")
set(CPACK_PACKAGE_CONTACT "ZELNA'S Software <suporte@zelnas.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Servidor para Terminais de Consulta Lurma")
set(CPACK_PACKAGE_DESCRIPTION
    "Answers every barcode scanned at a Lurma price-check terminal with the product's description and price from the shop's Firebird database. Includes the terminal library and a simulated terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The desktop entries are written by an install script that looks at the prefix: the package
# installs under DESTDIR with its real prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firebird3.0-server")
include(CPack)
