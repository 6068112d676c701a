// The shell's tests run on real widgets without a display, with the per-user store in a
// throw-away directory (QSettings reads XDG_CONFIG_HOME).
#include "Sinais.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // As the program does, so that the signal test's signals reach its waiting thread only.
    BloquearSinaisDeSaida();
    QTemporaryDir configuracao;
    qputenv("XDG_CONFIG_HOME", configuracao.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacao(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
