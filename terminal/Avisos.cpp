#include "Avisos.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <cstdio>
#include <utility>
#include <vector>

QMessageBox::StandardButton TAvisosQt::Mostrar(const QString &Texto, const QString &Titulo,
                                               QMessageBox::Icon Icone,
                                               QMessageBox::StandardButtons Botoes) {
    QMessageBox caixa(Icone, Titulo, Texto, Botoes, FPai);
    caixa.setTextFormat(Qt::PlainText); // a scanned code may look like markup
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

namespace {

// Errors that arrive while an error box is open. The box's modal loop keeps serving the
// terminals, so with the database gone every scan fails inside it; a box per error would nest
// loops without bound until the stack runs out. They wait here instead, identical texts
// counted, the number of distinct ones capped, and are shown together once the box closes.
class TErrosPendentes {
public:
    bool CaixaAberta = false;

    void Guardar(const QString &Texto) {
        for (auto &[texto, vezes] : FTextos)
            if (texto == Texto) {
                ++vezes;
                return;
            }
        if (FTextos.size() < MaxTextos)
            FTextos.emplace_back(Texto, 1);
        else
            ++FOutros;
    }

    // The text of the next box, one line per distinct error; empty when none waits.
    QString Retirar() {
        QStringList linhas;
        for (const auto &[texto, vezes] : FTextos)
            linhas << (vezes > 1 ? QStringLiteral("%1 (%2 vezes)").arg(texto, QString::number(vezes)) : texto);
        if (FOutros > 0)
            linhas << QStringLiteral("Mais %1 erros.").arg(FOutros);
        FTextos.clear();
        FOutros = 0;
        return linhas.join(u'\n');
    }

private:
    static constexpr size_t MaxTextos = 10;
    std::vector<std::pair<QString, int>> FTextos;
    int FOutros = 0;
};

TErrosPendentes Pendentes; // the user-interface thread's only

} // namespace

void AnotarErro(const QString &Texto) {
    if (const QString log = qEnvironmentVariable("LURMA_ERROR_LOG"); !log.isEmpty()) {
        QFile arquivo(log);
        if (arquivo.open(QIODevice::Append | QIODevice::Text))
            arquivo.write(QString(Texto).replace(u'\r', u' ').replace(u'\n', u' ').toUtf8() + '\n');
    }
}

void RegistrarErro(const QString &Texto) {
    AnotarErro(Texto);
    std::fprintf(stderr, "%s\n", Texto.toLocal8Bit().constData());
}

void RelatarErro(TAvisos &Avisos, std::exception_ptr Erro) {
    const QString texto = TextoDoErro(Erro);
    AnotarErro(texto);
    if (Pendentes.CaixaAberta) {
        Pendentes.Guardar(texto);
        return;
    }
    Pendentes.CaixaAberta = true;
    const auto fechada = qScopeGuard([] { Pendentes.CaixaAberta = false; });
    const QString titulo = TituloAplicacao(QCoreApplication::applicationFilePath());
    for (QString proximo = texto; !proximo.isEmpty(); proximo = Pendentes.Retirar())
        Avisos.Mostrar(proximo, titulo, QMessageBox::Critical, QMessageBox::Ok);
}
