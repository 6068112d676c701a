// The panel of the real program as a shop and a chain use it: a real Prometheus scraping
// /metrics, a real headless Chromium loading the page, and peers that try to hold it up. Every
// connection stays on loopback: an address beyond it is only ever a configuration value.
#include "BancoTeste.h"
#include "ClienteHttp.h"
#include "PortaLivre.h"
#include "Processos.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A CODIGO narrower than the 15 bytes a terminal may send: a longer code is a too-long scan.
QStringList produtosDoPainel() {
    TiposItens tipos;
    tipos.codigo = "VARCHAR(13)";
    return {criarItens(tipos),
            "INSERT INTO ITENS VALUES ('" + Arroz + "', 'ARROZ TIPO 1 5KG', NULL, 24.9, NULL)",
            "INSERT INTO ITENS VALUES ('4444', '<img src=x onerror=alert(1)>', NULL, 1, NULL)"};
}

QString enderecoPainel(quint16 Porta) {
    return QStringLiteral("127.0.0.1:%1").arg(Porta);
}

QJsonObject estadoDoPainel(quint16 Porta, const QByteArray &Extra = {}) {
    return QJsonDocument::fromJson(pedirHttp(Porta, getHttp("/api/estado", Extra)).corpo).object();
}

// A program with its panel on a port of the test's own.
struct ComPainel {
    BancoTeste bd{produtosDoPainel()};
    quint16 portaPainel = portaLivre();
    std::unique_ptr<ServidorEmTeste> servidor;

    explicit ComPainel(const QString &Chave = {}) {
        ProgramaEmTeste programa;
        programa.Painel = enderecoPainel(portaPainel);
        programa.ChavePainel = Chave;
        servidor = std::make_unique<ServidorEmTeste>(bd.caminho(), programa);
    }
};

// Prometheus on loopback with its own data folder, scraping Alvo every second.
class PrometheusEmTeste {
public:
    explicit PrometheusEmTeste(const QString &Alvo) : FPorta(portaLivre()) {
        QFile config(FPasta.filePath("prometheus.yml"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("global:\n  scrape_interval: 1s\n"
                                    "scrape_configs:\n  - job_name: lurma\n"
                                    "    static_configs:\n      - targets: ['%1']\n")
                         .arg(Alvo)
                         .toUtf8());
        config.close();
        FProcesso.setProcessChannelMode(QProcess::MergedChannels);
        FProcesso.start("prometheus",
                        {"--config.file=" + config.fileName(),
                         "--storage.tsdb.path=" + FPasta.filePath("dados"),
                         "--web.listen-address=127.0.0.1:" + QString::number(FPorta)});
        FProcesso.waitForStarted();
    }
    ~PrometheusEmTeste() {
        FProcesso.terminate();
        if (!FProcesso.waitForFinished(10000))
            FProcesso.kill();
        FProcesso.waitForFinished();
    }
    // The instant query's values by their label Rotulo; empty until Prometheus answers.
    QMap<QString, double> consultar(const QString &Expressao, const QString &Rotulo) {
        const QByteArray caminho = "/api/v1/query?query=" + QUrl::toPercentEncoding(Expressao);
        const RespostaHttp r = pedirHttp(FPorta, "GET " + caminho + " HTTP/1.1\r\nHost: " +
                                                     "127.0.0.1\r\nConnection: close\r\n\r\n");
        QMap<QString, double> valores;
        const QJsonArray resultado =
            QJsonDocument::fromJson(r.corpo).object()["data"].toObject()["result"].toArray();
        for (const QJsonValue &v : resultado)
            valores[v["metric"][Rotulo].toString()] = v["value"][1].toString().toDouble();
        return valores;
    }
    QString saida() { return QString::fromUtf8(FProcesso.readAll()); }

private:
    QTemporaryDir FPasta;
    quint16 FPorta;
    QProcess FProcesso;
};

// Headless Chromium with a profile of its own, loading Endereco; its DOM after the page's
// script has run, and a screenshot into Imagem when one is named.
QString chromium(const QString &Endereco, const QString &Imagem = {}) {
    QTemporaryDir perfil;
    QProcess navegador;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", perfil.path()); // nothing of it lands in the user's home
    navegador.setProcessEnvironment(env);
    QStringList argumentos = {"--headless",
                              "--no-sandbox",
                              "--disable-gpu",
                              "--disable-background-networking",
                              "--disable-component-update",
                              "--disable-sync",
                              "--no-first-run",
                              "--user-data-dir=" + perfil.filePath("perfil"),
                              "--virtual-time-budget=8000",
                              "--window-size=900,1500"};
    argumentos << (Imagem.isEmpty() ? QStringList{"--dump-dom"}
                                    : QStringList{"--screenshot=" + Imagem, "--hide-scrollbars"});
    navegador.start("/usr/bin/chromium", argumentos << Endereco);
    navegador.waitForFinished(90000);
    return QString::fromUtf8(navegador.readAllStandardOutput());
}

// The text of a DOM's table from its id to its end.
QString tabelaDoDom(const QString &Dom, const QString &Id) {
    const qsizetype inicio = Dom.indexOf("<table id=\"" + Id + "\"");
    return inicio < 0 ? QString() : Dom.mid(inicio, Dom.indexOf("</table>", inicio) - inicio);
}

} // namespace

// The terminals' answers, the error log, /api/estado and a real Prometheus's query API agree
// on every scan of the run.
TEST(Panel, PrometheusAndThePanelCountWhatTheTerminalsWereAnswered) {
    ComPainel p;
    ASSERT_TRUE(p.servidor->esperarPorta(15000)) << p.servidor->saida().toStdString();
    PrometheusEmTeste prometheus(enderecoPainel(p.portaPainel));

    const QStringList r = ler(p.servidor->servidor(), "127.0.0.2",
                              {Arroz, "111", Arroz, "222", "12345678901234", Arroz, "111"},
                              10000); // a busy machine answers late, never the next scan
    const QString preco = "PRICE|  ARROZ TIPO 1 5KG  |"; // the price in the test's locale
    ASSERT_EQ(r.size(), 7) << s(r);
    EXPECT_EQ(r.filter(preco).size(), 3) << s(r);
    EXPECT_EQ(r.filter("NOTFOUND|").size(), 3) << s(r);
    EXPECT_EQ(r[4], "NOREPLY|") << s(r);
    // The one failure of the run, the too-long code, is in the error log.
    ASSERT_TRUE(esperar([&] { return !p.servidor->errosRelatados().isEmpty(); }, 5000));
    ASSERT_TRUE(p.servidor->errosRelatados()[0].contains("12345678901234"))
        << s(p.servidor->errosRelatados());

    const QJsonObject e = estadoDoPainel(p.portaPainel);
    const QJsonArray leituras = e["leituras"].toArray();
    ASSERT_EQ(leituras.size(), 7);
    QMap<QString, int> porResultado;
    for (const QJsonValue &l : leituras)
        ++porResultado[l["resultado"].toString()];
    EXPECT_EQ(porResultado, (QMap<QString, int>{{"found", 3}, {"not_found", 3}, {"too_long", 1}}));
    EXPECT_EQ(leituras[0]["codigo"].toString(), "111"); // newest first
    EXPECT_TRUE(leituras[6]["mostrado"].toString().startsWith("ARROZ TIPO 1 5KG | "))
        << leituras[6]["mostrado"].toString().toStdString();
    EXPECT_EQ(leituras[2]["codigo"].toString(), "12345678901234");
    EXPECT_TRUE(p.servidor->errosRelatados()[0].contains(
        leituras[2]["mostrado"].toString().replace(u'\n', u' ')))
        << leituras[2]["mostrado"].toString().toStdString();
    EXPECT_EQ(leituras[6]["terminal"].toString(), "127.0.0.2");
    const QJsonArray ausentes = e["naoEncontrados"].toArray();
    ASSERT_EQ(ausentes.size(), 2);
    EXPECT_EQ(ausentes[0]["codigo"].toString(), "111");
    EXPECT_EQ(ausentes[0]["contagem"].toInt(), 2);
    EXPECT_TRUE(e["errosBanco"].toArray().isEmpty()); // a code too long is no database fault
    EXPECT_TRUE(e["servidor"]["rodando"].toBool());

    const QMap<QString, double> esperado{{"found", 3}, {"not_found", 3}, {"too_long", 1},
                                         {"error", 0}, {"timeout", 0},   {"superseded", 0}};
    QMap<QString, double> visto;
    EXPECT_TRUE(esperar(
        [&] { return (visto = prometheus.consultar("lurma_scans_total", "result")) == esperado; },
        60000))
        << prometheus.saida().toStdString();
    const auto figura = [&](const QString &Expressao) {
        return prometheus.consultar(Expressao, "job").value("lurma", -1);
    };
    EXPECT_EQ(figura("lurma_terminal_connections_total"), 1);
    EXPECT_EQ(figura("lurma_terminal_disconnections_total"), 1);
    EXPECT_EQ(figura("lurma_lookup_duration_seconds_count"), 7);
    EXPECT_EQ(figura("lurma_database_up"), 1);
    EXPECT_EQ(figura("lurma_database_errors_total"), 0);
    EXPECT_EQ(figura("lurma_server_running"), 1);
    EXPECT_GT(figura("process_resident_memory_bytes"), 1e6);
}

// The page in a real browser, reached through its key once given in the address: the scans,
// the not-found codes most frequent first, and texts from the terminal and the database that
// look like markup shown as their characters.
TEST(Panel, ChromiumShowsScansNotFoundCodesInOrderAndHostileTextsAsText) {
    ComPainel p("chave da loja");
    ASSERT_TRUE(p.servidor->esperarPorta(15000)) << p.servidor->saida().toStdString();
    const QString hostil = "<b>negrito</b>";
    const QStringList r =
        ler(p.servidor->servidor(), "127.0.0.3",
            {"333", "111", "222", "111", "333", "111", hostil, "4444", Arroz}, 10000);
    ASSERT_EQ(r.size(), 9) << s(r);

    const QString endereco =
        "http://" + enderecoPainel(p.portaPainel) + "/?chave=chave%20da%20loja";
    const QString dom = chromium(endereco);
    ASSERT_TRUE(dom.contains("<title>Servidor Lurma - Painel</title>")) << dom.toStdString();
    EXPECT_TRUE(dom.contains("Em funcionamento desde")) << dom.toStdString();
    const QString ausentes = tabelaDoDom(dom, "nao-encontrados");
    const qsizetype i111 = ausentes.indexOf("<td>111</td>"),
                    i333 = ausentes.indexOf("<td>333</td>"),
                    i222 = ausentes.indexOf("<td>222</td>");
    EXPECT_TRUE(i111 >= 0 && i111 < i333 && i333 < i222) << ausentes.toStdString();
    const QString leituras = tabelaDoDom(dom, "leituras");
    EXPECT_TRUE(leituras.contains("&lt;b&gt;negrito&lt;/b&gt;")) << leituras.toStdString();
    EXPECT_TRUE(leituras.contains("&lt;img src=x onerror=alert(1)&gt;")) << leituras.toStdString();
    EXPECT_TRUE(leituras.contains("ARROZ TIPO 1 5KG | ")) << leituras.toStdString();
    EXPECT_FALSE(dom.contains("<b>negrito") || dom.contains("<img src=\"x\""));

    // Without the key the browser gets nothing of it.
    const QString semChave = chromium("http://" + enderecoPainel(p.portaPainel) + "/");
    EXPECT_FALSE(semChave.contains("Servidor Lurma - Painel")) << semChave.toStdString();

    const QString imagem = QDir(QDir::tempPath()).filePath("lurma-painel-teste.png");
    QFile::remove(imagem);
    chromium(endereco, imagem);
    EXPECT_GT(QFileInfo(imagem).size(), 10000);
    if (qEnvironmentVariableIsSet("LURMA_IMAGEM_PAINEL")) // the README's picture
        QFile::copy(imagem, qEnvironmentVariable("LURMA_IMAGEM_PAINEL"));
    QFile::remove(imagem);
}

// 300 silent connections and a 10 MB request at once: the terminals are answered and the page
// and the metrics still answer, a request without the key gets 401 and a POST 405.
TEST(Panel, HostilePeersStopNeitherTheTerminalsNorThePage) {
    ComPainel p("k");
    ASSERT_TRUE(p.servidor->esperarPorta(15000)) << p.servidor->saida().toStdString();
    const QString arroz = "PRICE|  ARROZ TIPO 1 5KG  |";
    ASSERT_TRUE(
        ler(p.servidor->servidor(), "127.0.0.4", {Arroz}, 10000).value(0).startsWith(arroz));
    const long antes = p.servidor->memoriaKb(); // the database client warmed up
    std::atomic<bool> prontos = false, fim = false;
    std::thread hostis([&] {
        const auto calados = conexoesCaladas(p.portaPainel, 300);
        QTcpSocket enorme;
        enviarCabecalhoEnorme(enorme, p.portaPainel,
                              "GET / HTTP/1.1\r\nAuthorization: Bearer k\r\n");
        prontos = true;
        while (!fim)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    ASSERT_TRUE(esperar([&] { return prontos.load(); }, 30000));

    const QStringList r = ler(p.servidor->servidor(), "127.0.0.4", {Arroz, "999"}, 10000);
    ASSERT_EQ(r.size(), 2) << s(r);
    EXPECT_TRUE(r[0].startsWith(arroz)) << s(r);
    EXPECT_EQ(r[1], "NOTFOUND|");
    const QByteArray chave = "Authorization: Bearer k\r\n";
    EXPECT_EQ(pedirHttp(p.portaPainel, getHttp("/", chave)).status, 200);
    const RespostaHttp metricas = pedirHttp(p.portaPainel, getHttp("/metrics", chave));
    EXPECT_TRUE(metricas.corpo.contains("lurma_scans_total{result=\"found\"} 2"))
        << metricas.corpo.toStdString();
    EXPECT_EQ(pedirHttp(p.portaPainel, getHttp("/api/estado")).status, 401);
    EXPECT_EQ(pedirHttp(p.portaPainel, "POST /api/estado HTTP/1.1\r\n" + chave + "\r\n").status,
              405);
    fim = true;
    hostis.join();
    // A request's worth per connection at most: far from the 10 MB sent.
    EXPECT_LT(p.servidor->memoriaKb() - antes, 8 * 1024);
    EXPECT_TRUE(p.servidor->errosRelatados().isEmpty()) << s(p.servidor->errosRelatados());
}

// An address beyond loopback without a key, and an address already taken: the panel does not
// start, the error log and standard error say why once, and the terminals are served.
TEST(Panel, RefusedOrBusyAddressIsSaidOnceAndTheTerminalsAreServed) {
    BancoTeste bd{produtosDoPainel()};
    QTcpServer ocupante;
    ASSERT_TRUE(ocupante.listen(QHostAddress::LocalHost, portaLivre()));
    struct Caso {
        QString endereco, motivo;
    };
    const Caso casos[] = {
        {"192.168.77.1:6551", "fora desta máquina e não há Chave"},
        {enderecoPainel(ocupante.serverPort()), "não pôde ser usado"},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.endereco.toStdString());
        ProgramaEmTeste programa;
        programa.Painel = c.endereco;
        ServidorEmTeste servidor(bd.caminho(), programa);
        ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
        const QStringList r = ler(servidor.servidor(), "127.0.0.5", {Arroz}, 10000);
        EXPECT_TRUE(r.value(0).startsWith("PRICE|  ARROZ TIPO 1 5KG  |")) << s(r);
        const QStringList erros = servidor.errosRelatados();
        ASSERT_EQ(erros.size(), 1) << s(erros);
        EXPECT_TRUE(erros[0].startsWith("O painel não foi iniciado: ") &&
                    erros[0].contains(c.motivo))
            << s(erros);
        QString saida; // standard error says it too
        EXPECT_TRUE(esperar(
            [&] {
                QCoreApplication::processEvents();
                return (saida += servidor.saida()).contains(c.endereco);
            },
            5000))
            << saida.toStdString();
    }
}
