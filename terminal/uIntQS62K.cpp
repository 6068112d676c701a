#include "uIntQS62K.h"

#include <QDir>
#include <QLibrary>
#include <stdexcept>

namespace {

template <typename F> void resolver(QLibrary &biblioteca, F &funcao, const char *nome) {
    funcao = reinterpret_cast<F>(biblioteca.resolve(nome));
    if (!funcao)
        throw std::runtime_error(
            QStringLiteral("A biblioteca dos terminais %1 não tem a função %2")
                .arg(QDir::toNativeSeparators(biblioteca.fileName()), QLatin1String(nome))
                .toStdString());
}

} // namespace

TIntQS62K CarregarIntQS62K(const QString &Pasta) {
    // Never unloaded: the library's thread may post notifications until the process ends.
    QLibrary biblioteca(QDir(Pasta).filePath(QStringLiteral("pqtLurma")));
    if (!biblioteca.load())
        throw std::runtime_error(
            QStringLiteral("Não foi possível carregar a biblioteca dos terminais %1: %2")
                .arg(QDir::toNativeSeparators(biblioteca.fileName()), biblioteca.errorString())
                .toStdString());
    TIntQS62K t;
#define RESOLVER(nome) resolver(biblioteca, t.nome, #nome);
    PQTLURMA_FUNCTIONS(RESOLVER)
#undef RESOLVER
    return t;
}
