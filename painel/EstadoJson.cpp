#include "EstadoJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>

namespace {

// Local time with its offset, the offset from localtime_r: Qt's own local-time conversions go
// through mktime, which looks at the zone file again on every call, thousands in a snapshot.
QJsonValue Hora(const QDateTime &H) {
    if (H.isNull())
        return QJsonValue();
    const qint64 ms = H.toMSecsSinceEpoch();
    const time_t segundos = time_t(ms / 1000);
    tm local{};
    localtime_r(&segundos, &local);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, int(local.tm_gmtoff))
        .toString(Qt::ISODate);
}

} // namespace

QByteArray EstadoJson(TInstantaneo I) {
    Ordenar(I);
    QJsonArray terminais, leituras, ausentes, erros;
    for (const TTerminalPainel &t : I.Terminais)
        terminais.append(
            QJsonObject{{"endereco", t.Endereco},
                        {"desde", Hora(t.Desde)},
                        {"leituras", double(t.Leituras)},
                        {"ultimoCodigo", t.UltimaHora.isNull() ? QJsonValue() : t.UltimoCodigo},
                        {"ultimoResultado",
                         t.UltimaHora.isNull() ? QJsonValue() : NomeResultado(t.UltimoResultado)},
                        {"ultimaHora", Hora(t.UltimaHora)}});
    for (const TLinhaLeitura &l : I.Leituras)
        leituras.append(QJsonObject{{"hora", Hora(l.Hora)},
                                    {"terminal", l.Terminal},
                                    {"codigo", l.Codigo},
                                    {"resultado", NomeResultado(l.Resultado)},
                                    {"mostrado", l.Mostrado},
                                    {"segundos", l.Segundos},
                                    {"enviada", l.Enviada}});
    for (const TCodigoAusente &a : I.Ausentes)
        ausentes.append(QJsonObject{{"codigo", a.Codigo},
                                    {"contagem", double(a.Contagem)},
                                    {"primeira", Hora(a.Primeira)},
                                    {"ultima", Hora(a.Ultima)},
                                    {"ultimoTerminal", a.UltimoTerminal}});
    for (const TErroPainel &e : I.Erros)
        erros.append(QJsonObject{{"texto", e.Texto},
                                 {"contagem", double(e.Contagem)},
                                 {"primeira", Hora(e.Primeira)},
                                 {"ultima", Hora(e.Ultima)}});
    const TCadastroPainel &c = I.Cadastro;
    const QJsonObject estado{
        {"versao", I.Versao},
        {"agora", Hora(I.Agora)},
        {"servidor", QJsonObject{{"rodando", I.Rodando}, {"desde", Hora(I.RodandoDesde)}}},
        {"terminais", terminais},
        {"leituras", leituras},
        {"naoEncontrados", ausentes},
        {"errosBanco", erros},
        {"cadastro", QJsonObject{{"linhas", c.Linhas},
                                 {"arquivo", c.Arquivo},
                                 {"ultimaListagem", Hora(c.UltimaListagem)},
                                 {"ultimoSalvamento", Hora(c.UltimoSalvamento)},
                                 {"ultimoSalvamentoOk", c.UltimoSalvamentoOk}}}};
    return QJsonDocument(estado).toJson(QJsonDocument::Compact);
}
