// The real window's tests run without a display; as the child of the lost-display test it runs
// the window on that test's own X server instead (TelaPerdidaTest.cpp).
#include <QApplication>
#include <gtest/gtest.h>

int FilhoDaTelaPerdida();

int main(int argc, char **argv) {
    const bool filho = qEnvironmentVariableIsSet("LURMA_TELA_PERDIDA_PASTA");
    if (!filho)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacao(argc, argv);
    if (filho)
        return FilhoDaTelaPerdida();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
