#include "PastaCadastro.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Creating a file is the one sure answer: permission bits, ACLs, read-only mounts and root
// all have their say.
bool PodeEscrever(const QString &Pasta) {
    QTemporaryFile teste(QDir(Pasta).filePath(QStringLiteral(".Cadastro-XXXXXX")));
    return teste.open();
}

} // namespace

QString PastaDoCadastro(const QString &PastaExecutavel) {
    if (PodeEscrever(PastaExecutavel))
        return PastaExecutavel;
    const QString dados = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dados); // when it cannot be made, the save reports the failure
    return dados;
}
