// The panel's state: what each event leaves in the snapshot, its order, and its bounds under a
// flood of codes.
#include "EstadoPainel.h"
#include "EstadoJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <ctime>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// A clock that the test moves by a second at every reading.
struct Relogio {
    QDateTime agora = QDateTime(QDate(2026, 3, 1), QTime(8, 0, 0), Qt::UTC);
    std::function<QDateTime()> funcao() {
        return [this] { return agora = agora.addSecs(1); };
    }
};

TLeitura leitura(const QString &Terminal, const QString &Codigo, TResultadoLeitura R,
                 std::chrono::nanoseconds Duracao = 20ms, bool Enviada = true) {
    return {Terminal, Codigo, R, QStringLiteral("mostrado ") + Codigo, Duracao, Enviada};
}

std::string metricas(const TEstadoPainel &E) {
    return E.Metricas().Texto();
}

} // namespace

TEST(TEstadoPainel, TerminalsScansAndTheNotFoundTableMostFrequentFirst) {
    Relogio relogio;
    TEstadoPainel estado("9.9", relogio.funcao());
    estado.ServidorMudou(true);
    estado.TerminalConectado("127.0.0.2");
    estado.TerminalConectado("127.0.0.3");
    const std::pair<const char *, TResultadoLeitura> lidas[] = {
        {"111", TResultadoLeitura::NaoEncontrado}, {"789", TResultadoLeitura::Encontrado},
        {"333", TResultadoLeitura::NaoEncontrado}, {"222", TResultadoLeitura::NaoEncontrado},
        {"333", TResultadoLeitura::NaoEncontrado}, {"111", TResultadoLeitura::NaoEncontrado},
        {"111", TResultadoLeitura::NaoEncontrado}, {"55", TResultadoLeitura::Substituida},
        {"66", TResultadoLeitura::Prazo},          {"77", TResultadoLeitura::Erro}};
    int n = 0;
    for (const auto &[codigo, resultado] : lidas)
        estado.Leitura(leitura(n++ % 2 ? "127.0.0.3" : "127.0.0.2", codigo, resultado));
    estado.TerminalDesconectado("127.0.0.3");

    TInstantaneo i = estado.Instantaneo();
    Ordenar(i);
    EXPECT_TRUE(i.Rodando);
    ASSERT_EQ(i.Terminais.size(), 1u);
    EXPECT_EQ(i.Terminais[0].Endereco, "127.0.0.2");
    EXPECT_EQ(i.Terminais[0].Leituras, 5u);
    EXPECT_EQ(i.Terminais[0].UltimoCodigo, "66");
    EXPECT_EQ(i.Terminais[0].UltimoResultado, TResultadoLeitura::Prazo);
    ASSERT_EQ(i.Leituras.size(), 10u);
    EXPECT_EQ(i.Leituras.front().Codigo, "77"); // newest first
    EXPECT_EQ(i.Leituras.back().Codigo, "111");

    // 111 three times, 333 twice, 222 once; 111 last seen from 127.0.0.2 (the seventh scan).
    ASSERT_EQ(i.Ausentes.size(), 3u);
    EXPECT_EQ(i.Ausentes[0].Codigo, "111");
    EXPECT_EQ(i.Ausentes[0].Contagem, 3u);
    EXPECT_EQ(i.Ausentes[0].UltimoTerminal, "127.0.0.2");
    EXPECT_LT(i.Ausentes[0].Primeira, i.Ausentes[0].Ultima);
    EXPECT_EQ(i.Ausentes[1].Codigo, "333");
    EXPECT_EQ(i.Ausentes[2].Codigo, "222");
    ASSERT_EQ(i.Erros.size(), 2u); // the timeout and the error, newest first
    EXPECT_EQ(i.Erros[0].Texto, "mostrado 77");
    EXPECT_EQ(i.Erros[1].Texto, "mostrado 66");

    const std::string m = metricas(estado);
    for (const char *linha :
         {"lurma_scans_total{result=\"not_found\"} 6", "lurma_scans_total{result=\"found\"} 1",
          "lurma_scans_total{result=\"superseded\"} 1", "lurma_scans_total{result=\"timeout\"} 1",
          "lurma_scans_total{result=\"error\"} 1", "lurma_database_errors_total 2",
          "lurma_database_up 0", "lurma_terminals_connected 1",
          "lurma_terminal_connections_total 2", "lurma_terminal_disconnections_total 1",
          "lurma_server_running 1", "lurma_build_info{version=\"9.9\"} 1",
          // nine lookups ended (the superseded one is no lookup's end), all at 20 ms
          "lurma_lookup_duration_seconds_count 9",
          "lurma_lookup_duration_seconds_bucket{le=\"0.01\"} 0",
          "lurma_lookup_duration_seconds_bucket{le=\"0.025\"} 9"})
        EXPECT_NE(m.find(linha), std::string::npos) << linha << "\n" << m;
}

TEST(TEstadoPainel, DatabaseUpOnlyAfterALookupAndRepliesNotSentCounted) {
    TEstadoPainel estado("1");
    EXPECT_EQ(metricas(estado).find("lurma_database_up"), std::string::npos);
    estado.Leitura(leitura("127.0.0.2", "1", TResultadoLeitura::Encontrado, 5ms, false));
    estado.Leitura(leitura("127.0.0.2", "2", TResultadoLeitura::Longo));
    const std::string m = metricas(estado);
    EXPECT_NE(m.find("lurma_database_up 1"), std::string::npos) << m;
    EXPECT_NE(m.find("lurma_replies_not_sent_total 1"), std::string::npos) << m;
    EXPECT_NE(m.find("lurma_scans_total{result=\"too_long\"} 1"), std::string::npos) << m;
    EXPECT_NE(m.find("process_open_fds "), std::string::npos) << m;
    EXPECT_EQ(m.find("process_resident_memory_bytes 0\n"), std::string::npos) << m;
}

TEST(TEstadoPainel, ServerStoppedDropsEveryTerminal) {
    TEstadoPainel estado("1");
    estado.ServidorMudou(true);
    estado.TerminalConectado("127.0.0.2");
    estado.TerminalConectado("127.0.0.3");
    estado.ServidorMudou(false);
    EXPECT_TRUE(estado.Instantaneo().Terminais.empty());
    const std::string m = metricas(estado);
    EXPECT_NE(m.find("lurma_terminals_connected 0"), std::string::npos) << m;
    EXPECT_NE(m.find("lurma_server_running 0"), std::string::npos) << m;
}

TEST(TEstadoPainel, RegisterOpenedListedAndSaved) {
    Relogio relogio;
    TEstadoPainel estado("1", relogio.funcao());
    estado.CadastroAberto(10, "/x/Cadastro.xml");
    EXPECT_TRUE(estado.Instantaneo().Cadastro.UltimaListagem.isNull());
    estado.CadastroListado(250);
    estado.CadastroSalvo(true, 250, "/x/Cadastro.xml");
    estado.CadastroSalvo(false, 249, "/x/Cadastro.xml");
    const TCadastroPainel c = estado.Instantaneo().Cadastro;
    EXPECT_EQ(c.Linhas, 249);
    EXPECT_EQ(c.Arquivo, "/x/Cadastro.xml");
    EXPECT_FALSE(c.UltimaListagem.isNull());
    EXPECT_LT(c.UltimaListagem, c.UltimoSalvamento);
    EXPECT_FALSE(c.UltimoSalvamentoOk);
    const std::string m = metricas(estado);
    EXPECT_NE(m.find("lurma_register_rows 249"), std::string::npos) << m;
    EXPECT_NE(m.find("lurma_register_saves_total{result=\"ok\"} 1"), std::string::npos) << m;
    EXPECT_NE(m.find("lurma_register_saves_total{result=\"failed\"} 1"), std::string::npos) << m;
}

// A terminal flooding random codes: the scans and the not-found codes stop at their bounds, the
// least recently seen code leaves first, and a code seen again stays.
TEST(TEstadoPainel, AFloodOfRandomCodesStaysWithinItsBounds) {
    TEstadoPainel estado("1");
    estado.Leitura(leitura("127.0.0.2", "fiel", TResultadoLeitura::NaoEncontrado));
    estado.Leitura(leitura("127.0.0.2", "esquecido", TResultadoLeitura::NaoEncontrado));
    QRandomGenerator aleatorio(21);
    for (int i = 0; i < 50000; ++i) {
        estado.Leitura(leitura("127.0.0.2", QString::number(aleatorio.generate64()),
                               TResultadoLeitura::NaoEncontrado));
        if (i % 5000 == 0)
            estado.Leitura(leitura("127.0.0.2", "fiel", TResultadoLeitura::NaoEncontrado));
    }
    TInstantaneo i = estado.Instantaneo();
    Ordenar(i);
    EXPECT_EQ(i.Leituras.size(), TEstadoPainel::UltimasLeituras);
    ASSERT_EQ(i.Ausentes.size(), TEstadoPainel::CodigosAusentes);
    EXPECT_EQ(i.Ausentes[0].Codigo, "fiel");
    EXPECT_EQ(i.Ausentes[0].Contagem, 11u);
    for (const TCodigoAusente &a : i.Ausentes)
        ASSERT_NE(a.Codigo, "esquecido");
    // The JSON of a full state: every code once, a size that a phone loads.
    const QByteArray json = EstadoJson(estado.Instantaneo());
    EXPECT_LT(json.size(), 3 * 1024 * 1024);
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(o["naoEncontrados"].toArray().size(), 10000);
    EXPECT_EQ(o["leituras"].toArray().size(), 1000);
    EXPECT_EQ(o["naoEncontrados"].toArray()[0].toObject()["codigo"].toString(), "fiel");
}

TEST(EstadoJson, TextsTravelAsTheyCameAndTimesAsIsoText) {
    Relogio relogio;
    TEstadoPainel estado("1", relogio.funcao());
    estado.ServidorMudou(true);
    const QString hostil =
        QStringLiteral("<img src=x onerror=alert(1)>\"'&\\ \r\n\t\x01\x1f\x7f çã 中文 😀 \u2028");
    estado.Leitura({"127.0.0.2", hostil, TResultadoLeitura::NaoEncontrado, hostil, 1500ms, true});
    const QJsonObject o = QJsonDocument::fromJson(EstadoJson(estado.Instantaneo())).object();
    const QJsonObject l = o["leituras"].toArray()[0].toObject();
    EXPECT_EQ(l["codigo"].toString(), hostil);
    EXPECT_EQ(l["mostrado"].toString(), hostil);
    EXPECT_EQ(l["resultado"].toString(), "not_found");
    EXPECT_DOUBLE_EQ(l["segundos"].toDouble(), 1.5);
    EXPECT_TRUE(o["servidor"].toObject()["rodando"].toBool());
    EXPECT_TRUE(o["cadastro"].toObject()["ultimaListagem"].isNull());
    // The times in the machine's zone, with its offset.
    const QByteArray zonaAntes = qgetenv("TZ");
    const bool tinhaZona = qEnvironmentVariableIsSet("TZ");
    const std::pair<const char *, const char *> zonas[] = {
        {"UTC", "2026-03-01T08:00:02Z"}, {"America/Sao_Paulo", "2026-03-01T05:00:02-03:00"}};
    for (const auto &[zona, desde] : zonas) {
        qputenv("TZ", zona);
        tzset();
        const QJsonObject z = QJsonDocument::fromJson(EstadoJson(estado.Instantaneo())).object();
        EXPECT_EQ(z["servidor"].toObject()["desde"].toString().toStdString(), desde) << zona;
    }
    if (tinhaZona)
        qputenv("TZ", zonaAntes);
    else
        qunsetenv("TZ");
    tzset();
}
