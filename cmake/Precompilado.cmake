# Precompiled headers: Qt and GoogleTest are parsed once per kind of target instead of once per
# source file (about a third less compile time for such a file). Asio has none: its files spend
# their time instantiating templates, and a precompiled asio.hpp saved 4% of one while costing
# its own compile. Targets with the same compile flags share one header (REUSE_FROM); a
# header that does not fit a target's flags would only be ignored (-Winvalid-pch warns).
set(LURMA_PCH_QT <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo>
                 <QObject> <QString> <QStringList> <QVariant>)
set(LURMA_PCH_WIDGETS ${LURMA_PCH_QT} <QApplication> <QLabel> <QLineEdit> <QPushButton>
                      <QTableView> <QWidget>)

target_precompile_headers(lurma_text PRIVATE ${LURMA_PCH_QT})
foreach(alvo lurma_data lurma_test_support)
  target_precompile_headers(${alvo} REUSE_FROM lurma_text)
endforeach()

target_precompile_headers(servico_terminal PRIVATE ${LURMA_PCH_WIDGETS})
target_precompile_headers(lurma_app REUSE_FROM servico_terminal)

if(LURMA_TESTS)
  # The tests' headers are compiled in targets of their own that add no definitions: GCC
  # takes a header built with fewer macros than the user has, so every test can reuse one.
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/pch/vazio.cpp CONTENT "")
  add_library(lurma_pch_testes_core OBJECT ${CMAKE_BINARY_DIR}/pch/vazio.cpp)
  target_link_libraries(lurma_pch_testes_core PRIVATE Qt6::Core GTest::gtest)
  target_precompile_headers(lurma_pch_testes_core PRIVATE ${LURMA_PCH_QT} <QTemporaryDir>
                                                          <gtest/gtest.h>)
  add_library(lurma_pch_testes_widgets OBJECT ${CMAKE_BINARY_DIR}/pch/vazio.cpp)
  target_link_libraries(lurma_pch_testes_widgets PRIVATE Qt6::Widgets GTest::gtest)
  target_precompile_headers(lurma_pch_testes_widgets PRIVATE ${LURMA_PCH_WIDGETS} <QTemporaryDir>
                                                             <gtest/gtest.h>)
  foreach(alvo test_text test_data test_cadastro test_e2e)
    target_precompile_headers(${alvo} REUSE_FROM lurma_pch_testes_core)
  endforeach()
  foreach(alvo test_terminal test_app test_shell test_e2e_janela)
    target_precompile_headers(${alvo} REUSE_FROM lurma_pch_testes_widgets)
  endforeach()
  target_precompile_headers(lurma_tests PRIVATE <gtest/gtest.h>)
endif()
