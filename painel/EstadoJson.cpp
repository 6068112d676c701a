#include "EstadoJson.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

// Written straight into the text: a QJsonObject tree of a full state took ten times as long, on
// a worker that shares the machine with the lookups.
namespace {

void Valor(QByteArray &J, const QString &T) {
    J += '"';
    for (const char c : T.toUtf8()) {
        if (c == '"' || c == '\\') {
            J += '\\';
            J += c;
        } else if (c == '\n') { // between a reply's lines
            J += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x",
                          unsigned(static_cast<unsigned char>(c)));
            J += escape;
        } else {
            J += c;
        }
    }
    J += '"';
}

// Local time with its offset in ISO 8601 ("Z" for UTC; null for none), from localtime_r: Qt's own
// local-time conversions go through mktime, which looks at the zone file again on every call.
void Valor(QByteArray &J, const QDateTime &H) {
    if (H.isNull()) {
        J += "null";
        return;
    }
    const time_t segundos = time_t(H.toMSecsSinceEpoch() / 1000);
    tm l{};
    localtime_r(&segundos, &l);
    char texto[48];
    const int n =
        std::snprintf(texto, sizeof texto, "\"%04d-%02d-%02dT%02d:%02d:%02d", l.tm_year + 1900,
                      l.tm_mon + 1, l.tm_mday, l.tm_hour, l.tm_min, l.tm_sec);
    const long desvio = std::labs(l.tm_gmtoff);
    if (l.tm_gmtoff == 0)
        std::snprintf(texto + n, sizeof texto - size_t(n), "Z\"");
    else
        std::snprintf(texto + n, sizeof texto - size_t(n), "%c%02ld:%02ld\"",
                      l.tm_gmtoff < 0 ? '-' : '+', desvio / 3600, desvio % 3600 / 60);
    J += texto;
}

void Valor(QByteArray &J, qint64 N) {
    J += QByteArray::number(N);
}

void Valor(QByteArray &J, double N) {
    J += QByteArray::number(N, 'g', QLocale::FloatingPointShortest);
}

void Valor(QByteArray &J, bool B) {
    J += B ? "true" : "false";
}

void Valor(QByteArray &J, TResultadoLeitura R) {
    J += '"';
    J += NomeResultado(R);
    J += '"';
}

// "Nome":value, — Fechar turns an object's last comma into its brace.
template <typename T> void Campo(QByteArray &J, const char *Nome, const T &V) {
    J += '"';
    J += Nome;
    J += "\":";
    Valor(J, V);
    J += ',';
}

void Fechar(QByteArray &J) {
    J[J.size() - 1] = '}';
}

template <typename T, typename F>
void Lista(QByteArray &J, const char *Nome, const std::vector<T> &Itens, const F &Escrever) {
    J += '"';
    J += Nome;
    J += "\":[";
    for (const T &item : Itens) {
        J += '{';
        Escrever(item);
        Fechar(J);
        J += ',';
    }
    if (!Itens.empty())
        J.chop(1);
    J += "],";
}

} // namespace

QByteArray EstadoJson(TInstantaneo I) {
    Ordenar(I);
    QByteArray j;
    j.reserve(qsizetype(256 + 160 * (I.Leituras.size() + I.Ausentes.size())));
    j += '{';
    Campo(j, "versao", I.Versao);
    Campo(j, "agora", I.Agora);
    j += "\"servidor\":{";
    Campo(j, "rodando", I.Rodando);
    Campo(j, "desde", I.RodandoDesde);
    Fechar(j);
    j += ',';
    Lista(j, "terminais", I.Terminais, [&](const TTerminalPainel &t) {
        Campo(j, "endereco", t.Endereco);
        Campo(j, "desde", t.Desde);
        Campo(j, "leituras", qint64(t.Leituras));
        if (t.UltimaHora.isNull()) { // before its first scan
            j += "\"ultimoCodigo\":null,\"ultimoResultado\":null,";
        } else {
            Campo(j, "ultimoCodigo", t.UltimoCodigo);
            Campo(j, "ultimoResultado", t.UltimoResultado);
        }
        Campo(j, "ultimaHora", t.UltimaHora);
    });
    Lista(j, "leituras", I.Leituras, [&](const TLinhaLeitura &l) {
        Campo(j, "hora", l.Hora);
        Campo(j, "terminal", l.Terminal);
        Campo(j, "codigo", l.Codigo);
        Campo(j, "resultado", l.Resultado);
        Campo(j, "mostrado", l.Mostrado);
        Campo(j, "segundos", l.Segundos);
        Campo(j, "enviada", l.Enviada);
    });
    Lista(j, "naoEncontrados", I.Ausentes, [&](const TCodigoAusente &a) {
        Campo(j, "codigo", a.Codigo);
        Campo(j, "contagem", qint64(a.Contagem));
        Campo(j, "primeira", a.Primeira);
        Campo(j, "ultima", a.Ultima);
        Campo(j, "ultimoTerminal", a.UltimoTerminal);
    });
    Lista(j, "errosBanco", I.Erros, [&](const TErroPainel &e) {
        Campo(j, "texto", e.Texto);
        Campo(j, "contagem", qint64(e.Contagem));
        Campo(j, "primeira", e.Primeira);
        Campo(j, "ultima", e.Ultima);
    });
    const TCadastroPainel &c = I.Cadastro;
    j += "\"cadastro\":{";
    Campo(j, "linhas", qint64(c.Linhas));
    Campo(j, "arquivo", c.Arquivo);
    Campo(j, "ultimaListagem", c.UltimaListagem);
    Campo(j, "ultimoSalvamento", c.UltimoSalvamento);
    Campo(j, "ultimoSalvamentoOk", c.UltimoSalvamentoOk);
    Fechar(j);
    j += '}';
    return j;
}
