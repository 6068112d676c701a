#include "UComum.h"

#include <algorithm>
#include <array>

namespace {

const QString Maiusculas = QStringLiteral("ÁÂÃÀÉÊÍÓÔÕÚÜÛÇÑ");
const QString MinusculasPt = QStringLiteral("áâãàéêíóôõúüûçñ");
const QChar Marcador(0x00B6);        // replacement marker
const QChar MarcadorPalavra(0x00DE); // word marker
const std::array<QString, 8> PalavrasParada = {"das", "dos", "com", "para",
                                               "por", "nao", "não", "sim"};

// Only A-Z and a-z have a case here.
QChar asciiMaiuscula(QChar c) {
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
}
QChar asciiMinuscula(QChar c) {
    return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + 32) : c;
}

bool iguaisSemCaixa(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiMinuscula(a[i]) != asciiMinuscula(b[i]))
            return false;
    return true;
}

// Characters, not UTF-16 units: a pair of surrogates is one.
qsizetype caracteres(const QString &Texto) {
    return Texto.size() - std::count_if(Texto.begin(), Texto.end(),
                                        [](QChar c) { return c.isLowSurrogate(); });
}

} // namespace

QString Replicar(const QString &Texto, int Vezes) {
    QString r;
    for (int i = 0; i < Vezes; ++i)
        r += Texto;
    return r;
}

QString Espacos(int Quantidade) {
    return Replicar(QStringLiteral(" "), Quantidade);
}

// One left-to-right scan gives the same result as the two marker passes: a replaced spot can
// only make a new match if Antigo holds the marker, and Novo is never searched again. It also
// ends when Antigo or Novo holds the marker, which the two passes would not.
QString Substituir(const QString &Texto, const QString &Antigo, const QString &Novo) {
    QString r;
    const QStringView s(Texto);
    qsizetype i = 0;
    while (i < s.size()) {
        if (!Antigo.isEmpty() && iguaisSemCaixa(s.mid(i, Antigo.size()), Antigo)) {
            r += Novo;
            i += Antigo.size();
        } else if (s[i] == Marcador) {
            r += Novo;
            ++i;
        } else {
            r += s[i];
            ++i;
        }
    }
    return r;
}

QString Minusculas(const QString &Texto) {
    QString r = Texto;
    for (QChar &c : r) {
        const qsizetype p = Maiusculas.indexOf(c);
        c = p >= 0 ? MinusculasPt[p] : asciiMinuscula(c);
    }
    return r;
}

QString Capitalizar(const QString &Texto, bool CapitalizarCurto) {
    QString s = Trim(Minusculas(Texto));
    if (s.isEmpty())
        return {};
    if (CapitalizarCurto && caracteres(s) <= 2) {
        s[0] = asciiMaiuscula(s[0]);
        return s;
    }
    QString t = Substituir(s, QStringLiteral(" "), MarcadorPalavra) + MarcadorPalavra;
    QString r;
    qsizetype inicio = 0;
    for (qsizetype fim = t.indexOf(MarcadorPalavra); fim >= 0;
         inicio = fim + 1, fim = t.indexOf(MarcadorPalavra, inicio)) {
        QString w = t.mid(inicio, fim - inicio);
        const bool parada = std::any_of(PalavrasParada.begin(), PalavrasParada.end(),
                                        [&](const QString &p) { return iguaisSemCaixa(w, p); });
        if (caracteres(w) > 2 && !parada)
            w[0] = asciiMaiuscula(w[0]);
        r += w + u' ';
    }
    return Trim(r);
}

QString Trim(const QString &Texto) {
    qsizetype a = 0, b = Texto.size();
    while (a < b && Texto[a].unicode() <= 32)
        ++a;
    while (b > a && Texto[b - 1].unicode() <= 32)
        --b;
    return Texto.mid(a, b - a);
}
