#include "Avisos.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

QMessageBox::StandardButton TAvisosQt::Mostrar(const QString &Texto, const QString &Titulo,
                                               QMessageBox::Icon Icone,
                                               QMessageBox::StandardButtons Botoes) {
    QMessageBox caixa(Icone, Titulo, Texto, Botoes, FPai);
    return static_cast<QMessageBox::StandardButton>(caixa.exec());
}

QString TituloAplicacao(const QString &CaminhoExecutavel) {
    const QString nome = QFileInfo(CaminhoExecutavel).fileName();
    const QString base = nome.left(nome.indexOf(u'.')); // left(-1) is the whole name
    return base.left(1) + base.mid(1).toLower();
}

QString TextoDoErro(std::exception_ptr Erro) {
    QString texto;
    while (Erro) {
        try {
            std::rethrow_exception(Erro);
        } catch (const std::exception &e) {
            const QString mensagem = QString::fromUtf8(e.what());
            if (!mensagem.isEmpty())
                texto = mensagem;
            Erro = nullptr;
            try {
                std::rethrow_if_nested(e);
            } catch (...) {
                Erro = std::current_exception();
            }
        } catch (...) {
            Erro = nullptr;
        }
    }
    if (texto.isEmpty())
        return QStringLiteral("Erro desconhecido.");
    if (texto.back().unicode() > 46)
        texto += u'.';
    return texto;
}

void RelatarErro(TAvisos &Avisos, std::exception_ptr Erro) {
    const QString texto = TextoDoErro(Erro);
    if (const QString log = qEnvironmentVariable("LURMA_ERROR_LOG"); !log.isEmpty()) {
        QFile arquivo(log);
        if (arquivo.open(QIODevice::Append | QIODevice::Text))
            arquivo.write(QString(texto).replace(u'\r', u' ').replace(u'\n', u' ').toUtf8() + '\n');
    }
    Avisos.Mostrar(texto, TituloAplicacao(QCoreApplication::applicationFilePath()),
                   QMessageBox::Critical, QMessageBox::Ok);
}
