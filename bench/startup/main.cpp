// Runs the start-up probe many times: a bare Qt window (the reference), the server's window
// without Cadastro.xml, and with a 100 000-row Cadastro.xml; prints the median time from process
// start to the window shown, its ratio to the reference, and the peak memory.
#include "ArquivoCadastro.h"
#include "Mediana.h"
#include "RegistroSintetico.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Medida {
    double ms = 0;   // median
    long picoKb = 0; // peak resident memory of the last run
};

Medida medir(const QStringList &Argumentos, int Vezes) {
    std::vector<double> tempos;
    Medida m;
    for (int i = 0; i < Vezes; ++i) {
        QProcess sonda;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        sonda.setProcessEnvironment(ambiente);
        QElapsedTimer relogio;
        relogio.start();
        sonda.start(QStringLiteral(SONDA), Argumentos);
        if (!sonda.waitForFinished(120000) || sonda.exitCode() != 0) {
            std::fprintf(stderr, "probe failed: %s\n", sonda.readAllStandardError().constData());
            std::exit(1);
        }
        tempos.push_back(relogio.nsecsElapsed() / 1e6);
        const QByteArray saida = sonda.readAllStandardOutput();
        m.picoKb = saida.mid(saida.indexOf(' ') + 1).trimmed().toLong();
    }
    m.ms = mediana(tempos);
    return m;
}

void criarCadastro(const QString &Caminho, int Linhas) {
    TTabela t;
    preencherRegistro(t, Linhas);
    t.HabilitarControles();
    SalvarCadastro(t, Caminho);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication aplicacao(argc, argv);
    const int vezes = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir vazia, cheia;
    criarCadastro(cheia.filePath("Cadastro.xml"), 100000);
    std::printf("Cadastro.xml with 100000 rows: %lld bytes; %d runs each, median\n",
                QFile(cheia.filePath("Cadastro.xml")).size(), vezes);

    const Medida pura = medir({"pura"}, vezes);
    const Medida semCadastro = medir({vazia.path()}, vezes);
    const Medida comCadastro = medir({cheia.path()}, vezes);
    const auto linha = [&](const char *nome, const Medida &m) {
        std::printf("%-34s %8.1f ms  %5.2fx reference  peak %7.1f MiB\n", nome, m.ms,
                    m.ms / pura.ms, m.picoKb / 1024.0);
    };
    linha("bare Qt window (reference)", pura);
    linha("ServidorLurma, no Cadastro.xml", semCadastro);
    linha("ServidorLurma, 100000-row file", comCadastro);
    return 0;
}
