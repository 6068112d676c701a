// Cadastro.xml on disk: the packet written through a temporary file, or read whole.
#include "ArquivoCadastro.h"
#include "PacoteEscrita.h"
#include <QDir>
#include <QFile>
#include <QSaveFile>

using pacote::Saida;

void SalvarCadastro(const TTabela &tabela, const QString &caminho) {
    const QString nativo = QDir::toNativeSeparators(caminho);
    // Never written in place: a file cut by a kill or a full disk would be lost. Where no
    // temporary file can be made beside it (a folder the user cannot write), the save fails.
    QSaveFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly))
        throw ErroTabela(
            QStringLiteral("Cannot create file \"%1\". %2").arg(nativo, arquivo.errorString()));
    bool escreveu = true;
    Saida s(1 << 20, [&](std::string_view bloco) {
        escreveu =
            escreveu && arquivo.write(bloco.data(), qint64(bloco.size())) == qint64(bloco.size());
    });
    pacote::escreverPacote(tabela, s);
    s.despejar();
    // The last bytes may still sit in the file's buffer; commit() writes them on closing but
    // does not see that write fail (a full disk would then replace the file with a cut one).
    if (!escreveu || !arquivo.flush() || !arquivo.commit())
        throw ErroTabela(
            QStringLiteral("Cannot write file \"%1\". %2").arg(nativo, arquivo.errorString()));
}

void CarregarCadastro(TTabela &tabela, const QString &caminho) {
    QFile arquivo(caminho);
    const auto naoAbriu = [&] {
        return ErroTabela(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(caminho), arquivo.errorString()));
    };
    if (!arquivo.open(QIODevice::ReadOnly))
        throw naoAbriu();
    const QByteArray pacote = arquivo.readAll();
    if (arquivo.error() != QFileDevice::NoError)
        throw naoAbriu();
    arquivo.close();
    LerPacote(pacote, tabela);
}
