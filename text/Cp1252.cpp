#include "Cp1252.h"

#include "Cp1252Tabela.h"

namespace {

char paraByte(char16_t c) {
    const int b = cp1252::Byte(c);
    return b < 0 ? '?' : static_cast<char>(b);
}

} // namespace

QByteArray ParaCp1252(const QString &texto) {
    QByteArray r;
    r.reserve(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        // A character outside the BMP is one character: one '?', not two.
        if (c.isHighSurrogate() && i + 1 < texto.size() && texto[i + 1].isLowSurrogate())
            ++i;
        r += paraByte(c.unicode());
    }
    return r;
}

QString DeCp1252(const QByteArray &bytes) {
    return DeCp1252(bytes.constData(), bytes.size());
}

QString DeCp1252(const char *bytes, qsizetype tamanho) {
    QString r(tamanho, Qt::Uninitialized);
    // Written through the raw buffer: indexing the QString checks for sharing at each character.
    QChar *saida = r.data();
    for (qsizetype i = 0; i < tamanho; ++i)
        saida[i] = QChar(cp1252::Caracteres[static_cast<unsigned char>(bytes[i])]);
    return r;
}
