#include "Metricas.h"

#include <QDir>
#include <QFile>
#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <sstream>
#include <unistd.h>

namespace {

// Resident memory from /proc/self/statm (its second field, in pages).
double MemoriaResidente() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> campos = statm.readAll().split(' ');
    return campos.size() > 1 ? campos[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

double DescritoresAbertos() {
    return double(QDir(QStringLiteral("/proc/self/fd"))
                      .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                      .size());
}

// The process's start in seconds since the epoch: field 22 of /proc/self/stat (clock ticks
// after boot) plus the boot time from /proc/stat.
double InicioProcesso() {
    QFile stat(QStringLiteral("/proc/self/stat")), sistema(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly) || !sistema.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray texto = stat.readAll();
    // The command name may hold blanks and parentheses: fields count after its last ')'.
    const QList<QByteArray> campos = texto.mid(texto.lastIndexOf(')') + 2).split(' ');
    if (campos.size() < 20)
        return 0;
    const double ticks = campos[19].toDouble();
    for (const QByteArray &linha : sistema.readAll().split('\n'))
        if (linha.startsWith("btime "))
            return linha.mid(6).trimmed().toDouble() + ticks / double(sysconf(_SC_CLK_TCK));
    return 0;
}

} // namespace

const char *NomeResultado(TResultadoLeitura R) {
    switch (R) {
    case TResultadoLeitura::Encontrado:
        return "found";
    case TResultadoLeitura::NaoEncontrado:
        return "not_found";
    case TResultadoLeitura::Erro:
        return "error";
    case TResultadoLeitura::Prazo:
        return "timeout";
    case TResultadoLeitura::Substituida:
        return "superseded";
    case TResultadoLeitura::Longo:
        return "too_long";
    }
    return "error";
}

TMetricas::TMetricas(const std::string &Versao)
    : FRegistro(std::make_shared<prometheus::Registry>()) {
    auto &leituras = prometheus::BuildCounter()
                         .Name("lurma_scans_total")
                         .Help("Scans from the terminals by how they ended")
                         .Register(*FRegistro);
    for (int r = 0; r < 6; ++r)
        FLeituras[r] = &leituras.Add({{"result", NomeResultado(TResultadoLeitura(r))}});
    FDuracao = &prometheus::BuildHistogram()
                    .Name("lurma_lookup_duration_seconds")
                    .Help("Time from a scan's hand-over to the lookups until its answer")
                    .Register(*FRegistro)
                    .Add({}, prometheus::Histogram::BucketBoundaries{0.005, 0.01, 0.025, 0.05, 0.1,
                                                                     0.25, 0.5, 1, 2.5, 5, 10});
    const auto contador = [this](const char *Nome, const char *Ajuda) {
        return &prometheus::BuildCounter().Name(Nome).Help(Ajuda).Register(*FRegistro).Add({});
    };
    const auto medidor = [this](const char *Nome, const char *Ajuda) {
        return &prometheus::BuildGauge().Name(Nome).Help(Ajuda).Register(*FRegistro).Add({});
    };
    FNaoEnviadas = contador("lurma_replies_not_sent_total",
                            "Replies the terminal library did not take (terminal gone or "
                            "scanned again)");
    FConectados = medidor("lurma_terminals_connected", "Terminals connected now");
    FConexoes = contador("lurma_terminal_connections_total", "Terminal connections");
    FDesconexoes = contador("lurma_terminal_disconnections_total", "Terminal disconnections");
    FErrosBanco = contador("lurma_database_errors_total",
                           "Lookups that failed in the database or passed their deadline");
    FRodando = medidor("lurma_server_running", "1 while the terminal server runs");
    FLinhas = medidor("lurma_register_rows", "Rows of the register Cadastro.xml");
    auto &salvos = prometheus::BuildCounter()
                       .Name("lurma_register_saves_total")
                       .Help("Saves of the register file by outcome")
                       .Register(*FRegistro);
    FSalvos = &salvos.Add({{"result", "ok"}});
    FSalvosFalhos = &salvos.Add({{"result", "failed"}});
    prometheus::BuildGauge()
        .Name("lurma_build_info")
        .Help("The program's version")
        .Register(*FRegistro)
        .Add({{"version", Versao}})
        .Set(1);
    FMemoria = medidor("process_resident_memory_bytes", "Resident memory size in bytes");
    FDescritores = medidor("process_open_fds", "Number of open file descriptors");
    FInicio = medidor("process_start_time_seconds",
                      "Start time of the process since unix epoch in seconds");
    FInicio->Set(InicioProcesso());
}

TMetricas::~TMetricas() = default;

void TMetricas::Leitura(TResultadoLeitura Resultado, std::chrono::nanoseconds Duracao,
                        bool Enviada) {
    FLeituras[int(Resultado)]->Increment();
    if (Resultado == TResultadoLeitura::Substituida)
        return; // neither answered nor a verdict on the database
    FDuracao->Observe(std::chrono::duration<double>(Duracao).count());
    const bool falhou =
        Resultado == TResultadoLeitura::Erro || Resultado == TResultadoLeitura::Prazo;
    if (falhou)
        FErrosBanco->Increment();
    else if (!Enviada)
        FNaoEnviadas->Increment();
    if (!FBancoAtivo)
        FBancoAtivo = &prometheus::BuildGauge()
                           .Name("lurma_database_up")
                           .Help("1 after a lookup that reached the database, 0 after one "
                                 "that could not")
                           .Register(*FRegistro)
                           .Add({});
    FBancoAtivo->Set(falhou ? 0 : 1);
}

void TMetricas::ServidorRodando(bool Rodando) {
    FRodando->Set(Rodando ? 1 : 0);
}

void TMetricas::TerminalConectado(int Conectados) {
    FConexoes->Increment();
    FConectados->Set(Conectados);
}

void TMetricas::TerminalDesconectado(int Conectados) {
    FDesconexoes->Increment();
    FConectados->Set(Conectados);
}

void TMetricas::CadastroLinhas(int Linhas) {
    FLinhas->Set(Linhas);
}

void TMetricas::CadastroSalvo(bool Ok) {
    (Ok ? FSalvos : FSalvosFalhos)->Increment();
}

std::string TMetricas::Texto() const {
    FMemoria->Set(MemoriaResidente());
    FDescritores->Set(DescritoresAbertos());
    std::ostringstream texto;
    prometheus::TextSerializer().Serialize(texto, FRegistro->Collect());
    return texto.str();
}
