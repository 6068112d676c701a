#include "EstadoJson.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

// Written straight into the text: a QJsonObject tree of a full state took ten times as long, on
// a worker that shares the machine with the lookups.
namespace {

void Texto(QByteArray &J, const QString &T) {
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

// Local time with its offset in ISO 8601 ("Z" for UTC), from localtime_r: Qt's own local-time
// conversions go through mktime, which looks at the zone file again on every call.
void Hora(QByteArray &J, const QDateTime &H) {
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

void Inteiro(QByteArray &J, qint64 N) {
    J += QByteArray::number(N);
}

void Numero(QByteArray &J, double N) {
    J += QByteArray::number(N, 'g', QLocale::FloatingPointShortest);
}

void Logico(QByteArray &J, bool B) {
    J += B ? "true" : "false";
}

template <typename T, typename F>
void Lista(QByteArray &J, const std::vector<T> &Itens, const F &Escrever) {
    J += '[';
    for (std::size_t i = 0; i < Itens.size(); ++i) {
        if (i > 0)
            J += ',';
        Escrever(Itens[i]);
    }
    J += ']';
}

} // namespace

QByteArray EstadoJson(TInstantaneo I) {
    Ordenar(I);
    QByteArray j;
    j.reserve(qsizetype(256 + 160 * (I.Leituras.size() + I.Ausentes.size())));
    j += "{\"versao\":";
    Texto(j, I.Versao);
    j += ",\"agora\":";
    Hora(j, I.Agora);
    j += ",\"servidor\":{\"rodando\":";
    Logico(j, I.Rodando);
    j += ",\"desde\":";
    Hora(j, I.RodandoDesde);
    j += "},\"terminais\":";
    Lista(j, I.Terminais, [&](const TTerminalPainel &t) {
        j += "{\"endereco\":";
        Texto(j, t.Endereco);
        j += ",\"desde\":";
        Hora(j, t.Desde);
        j += ",\"leituras\":";
        Inteiro(j, qint64(t.Leituras));
        j += ",\"ultimoCodigo\":";
        if (t.UltimaHora.isNull()) { // before its first scan
            j += "null,\"ultimoResultado\":null";
        } else {
            Texto(j, t.UltimoCodigo);
            j += ",\"ultimoResultado\":\"";
            j += NomeResultado(t.UltimoResultado);
            j += '"';
        }
        j += ",\"ultimaHora\":";
        Hora(j, t.UltimaHora);
        j += '}';
    });
    j += ",\"leituras\":";
    Lista(j, I.Leituras, [&](const TLinhaLeitura &l) {
        j += "{\"hora\":";
        Hora(j, l.Hora);
        j += ",\"terminal\":";
        Texto(j, l.Terminal);
        j += ",\"codigo\":";
        Texto(j, l.Codigo);
        j += ",\"resultado\":\"";
        j += NomeResultado(l.Resultado);
        j += "\",\"mostrado\":";
        Texto(j, l.Mostrado);
        j += ",\"segundos\":";
        Numero(j, l.Segundos);
        j += ",\"enviada\":";
        Logico(j, l.Enviada);
        j += '}';
    });
    j += ",\"naoEncontrados\":";
    Lista(j, I.Ausentes, [&](const TCodigoAusente &a) {
        j += "{\"codigo\":";
        Texto(j, a.Codigo);
        j += ",\"contagem\":";
        Inteiro(j, qint64(a.Contagem));
        j += ",\"primeira\":";
        Hora(j, a.Primeira);
        j += ",\"ultima\":";
        Hora(j, a.Ultima);
        j += ",\"ultimoTerminal\":";
        Texto(j, a.UltimoTerminal);
        j += '}';
    });
    j += ",\"errosBanco\":";
    Lista(j, I.Erros, [&](const TErroPainel &e) {
        j += "{\"texto\":";
        Texto(j, e.Texto);
        j += ",\"contagem\":";
        Inteiro(j, qint64(e.Contagem));
        j += ",\"primeira\":";
        Hora(j, e.Primeira);
        j += ",\"ultima\":";
        Hora(j, e.Ultima);
        j += '}';
    });
    const TCadastroPainel &c = I.Cadastro;
    j += ",\"cadastro\":{\"linhas\":";
    Inteiro(j, c.Linhas);
    j += ",\"arquivo\":";
    Texto(j, c.Arquivo);
    j += ",\"ultimaListagem\":";
    Hora(j, c.UltimaListagem);
    j += ",\"ultimoSalvamento\":";
    Hora(j, c.UltimoSalvamento);
    j += ",\"ultimoSalvamentoOk\":";
    Logico(j, c.UltimoSalvamentoOk);
    j += "}}";
    return j;
}
