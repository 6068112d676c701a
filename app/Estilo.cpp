#include "Estilo.h"

#include "Avisos.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QStyleFactory>

bool AplicarEstilo(QApplication &Aplicacao, TAvisos &Avisos, const QString &Nome) {
    QFile folha(QStringLiteral(":/estilos/%1.qss").arg(Nome));
    if (!folha.open(QIODevice::ReadOnly)) {
        const QString texto = QStringLiteral("Style '%1' not found").arg(Nome);
        AnotarErro(texto);
        Avisos.Mostrar(texto,
                       TituloAplicacao(QCoreApplication::applicationFilePath()),
                       QMessageBox::Critical, QMessageBox::Close);
        return false;
    }
    // Fusion draws the same on every platform, so the sheet looks alike everywhere.
    Aplicacao.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    Aplicacao.setStyleSheet(QString::fromUtf8(folha.readAll()));
    return true;
}
