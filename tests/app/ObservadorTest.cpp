// What the window tells its watcher (the panel): each scan's end with its result, what the
// terminal was shown and its time, the terminals, the server's state and the register.
#include "BancoTeste.h"
#include "Janela.h"
#include "Repasse.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

struct Gravador : TObservadorServico {
    std::vector<TLeitura> leituras;
    QStringList eventos;
    void ServidorMudou(bool Rodando) override { eventos << (Rodando ? "rodando" : "parado"); }
    void TerminalConectado(const QString &E) override { eventos << "+" + E; }
    void TerminalDesconectado(const QString &E) override { eventos << "-" + E; }
    void Leitura(const TLeitura &L) override { leituras.push_back(L); }
    void CadastroAberto(int Linhas, const QString &) override {
        eventos << QString("aberto %1").arg(Linhas);
    }
    void CadastroListado(int Linhas) override { eventos << QString("listado %1").arg(Linhas); }
    void CadastroSalvo(bool Ok, int Linhas, const QString &Arquivo) override {
        eventos << QString("salvo %1 %2 %3").arg(Ok).arg(Linhas).arg(QFileInfo(Arquivo).fileName());
    }
};

class Watcher : public JanelaTeste {
protected:
    Gravador gravador;
    void SetUp() override {
        JanelaTeste::SetUp();
        janela = std::make_unique<TfrmPrincipal>(
            TDependencias{lurma.Tabela(), avisos, [] { return QTime(9, 5, 7); },
                          std::chrono::milliseconds(10000), &gravador},
            nullptr, opcoes(pasta.path()));
    }
    void rajada() {
        for (size_t n = lurma.eventos.size(); n > 0; --n) {
            TEventoMensagem mensagem(lurma.numero);
            QCoreApplication::sendEvent(janela.get(), &mensagem);
        }
    }
};

TEST_F(Watcher, HearsEachScansEndWithItsResultAndTheTerminals) {
    TiposItens tipos;
    tipos.codigo = "VARCHAR(5)";
    BancoTeste bd({criarItens(tipos), "INSERT INTO ITENS VALUES ('1', 'ARROZ', NULL, 12.5, NULL)",
                   "INSERT INTO ITENS VALUES ('2', 'FEIJAO', NULL, 8, NULL)"});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    lurma.conectar("10.0.0.7");
    entregar();
    lurma.codigo("10.0.0.7", "1");
    lurma.codigo("10.0.0.7", "9");
    lurma.codigo("10.0.0.7", "2"); // the waiting 9 is dropped; 1's result too, once it ends
    rajada();
    ASSERT_TRUE(esperarConsultas());
    lurma.codigo("10.0.0.7", "123456"); // longer than CODIGO
    entregar();
    lurma.codigo("10.0.0.7", "777");
    entregar();
    campo("EditDatabase")->setText(pasta.filePath("nenhum.fdb"));
    lurma.codigo("10.0.0.7", "1");
    entregar();
    lurma.desconectar("10.0.0.7");
    entregar();
    iniciar(); // stops

    struct Esperada {
        QString codigo;
        TResultadoLeitura resultado;
        QString mostrado; // its start
    };
    // 1 and 9 are both superseded; which leaves first depends on whether a worker had taken 1
    // before 9 came (then 9 leaves the queue at 2, and 1's result is dropped later).
    ASSERT_GE(gravador.leituras.size(), 2u);
    if (gravador.leituras[0].Codigo == "1")
        std::swap(gravador.leituras[0], gravador.leituras[1]);
    const std::vector<Esperada> esperadas = {
        {"9", TResultadoLeitura::Substituida, "substituída"},
        {"1", TResultadoLeitura::Substituida, "substituída"},
        {"2", TResultadoLeitura::Encontrado, "FEIJAO | $8.00"},
        {"123456", TResultadoLeitura::Longo, "arithmetic exception"},
        {"777", TResultadoLeitura::NaoEncontrado, "não encontrado"},
        {"1", TResultadoLeitura::Erro, "I/O error"},
    };
    ASSERT_EQ(gravador.leituras.size(), esperadas.size());
    for (size_t i = 0; i < esperadas.size(); ++i) {
        SCOPED_TRACE(i);
        const TLeitura &l = gravador.leituras[i];
        EXPECT_EQ(l.Terminal, "10.0.0.7");
        EXPECT_EQ(l.Codigo, esperadas[i].codigo);
        EXPECT_EQ(l.Resultado, esperadas[i].resultado);
        EXPECT_TRUE(l.Mostrado.startsWith(esperadas[i].mostrado)) << l.Mostrado;
        const bool respondida = l.Resultado == TResultadoLeitura::Encontrado ||
                                l.Resultado == TResultadoLeitura::NaoEncontrado;
        EXPECT_EQ(l.Enviada, respondida);
        if (l.Resultado == TResultadoLeitura::Substituida)
            EXPECT_EQ(l.Duracao.count(), 0);
        else
            EXPECT_GT(l.Duracao.count(), 0);
    }
    EXPECT_EQ(gravador.eventos, QStringList({"rodando", "+10.0.0.7", "-10.0.0.7", "parado"}));
}

// A scan's time runs from its own hand-over to the lookups: a lookup that stalls and then fails
// keeps its time when its terminal has gone meanwhile, or has come back and scanned again.
TEST_F(Watcher, AFailedLookupKeepsItsOwnTimeWhenItsTerminalLeftOrCameBackAndScannedAgain) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('1', 'ARROZ', NULL, 12.5, NULL)"});
    Repasse repasse;
    repasse.definir(Repasse::Modo::Parado);
    const QString pelo = QString("127.0.0.1/%1:%2").arg(repasse.porta()).arg(bd.caminho());
    campo("EditDatabase")->setText(pelo);
    iniciar();
    lurma.conectar("10.0.0.7");
    lurma.conectar("10.0.0.8");
    lurma.codigo("10.0.0.7", "111");
    lurma.codigo("10.0.0.8", "333");
    rajada();
    const auto inicio = std::chrono::steady_clock::now();
    for (QDeadlineTimer espera(1500); !espera.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    lurma.desconectar("10.0.0.7");
    lurma.conectar("10.0.0.7");
    lurma.codigo("10.0.0.7", "222");
    lurma.desconectar("10.0.0.8");
    rajada();
    const auto parados = std::chrono::steady_clock::now() - inicio; // at least this long
    // The stalled attaches fail.
    repasse.definir(Repasse::Modo::Cortado);
    ASSERT_TRUE(esperarConsultas(30000));

    QStringList codigos;
    for (const TLeitura &l : gravador.leituras) {
        codigos << l.Codigo;
        if (l.Codigo == "222")
            continue;
        SCOPED_TRACE(l.Codigo.toStdString());
        EXPECT_EQ(l.Resultado, TResultadoLeitura::Erro);
        EXPECT_GE(l.Duracao, parados);
    }
    codigos.sort();
    EXPECT_EQ(codigos, QStringList({"111", "222", "333"}));
}

TEST_F(Watcher, HearsTheRegisterListedAndSaved) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('1', 'ARROZ', NULL, 12.5, NULL)",
                   "INSERT INTO ITENS VALUES ('2', 'FEIJAO', NULL, 8, NULL)"});
    campo("EditDatabase")->setText(bd.caminho());
    clicar("BtnListar");
    // The listing runs beside the event loop, under the wait pointer until it is back.
    for (QDeadlineTimer prazo(30000); QApplication::overrideCursor() && !prazo.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_FALSE(QApplication::overrideCursor()) << "the listing did not end within 30 s";
    EXPECT_EQ(gravador.eventos, QStringList({"listado 2", "salvo 1 2 Cadastro.xml"}));
    // The next start opens it from the file.
    janela = std::make_unique<TfrmPrincipal>(
        TDependencias{lurma.Tabela(), avisos, [] { return QTime(9, 5, 7); },
                      std::chrono::milliseconds(10000), &gravador},
        nullptr, opcoes(pasta.path()));
    EXPECT_EQ(gravador.eventos.last(), "aberto 2");
}
