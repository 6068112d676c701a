#pragma once
// The program's figures for Prometheus, in prometheus-cpp's metric types. Counters and gauges
// change on the user-interface thread; Texto() may run on any thread at the same time
// (prometheus-cpp's metrics are thread-safe).
#include "ObservadorServico.h"

#include <chrono>
#include <memory>
#include <string>

namespace prometheus {
class Registry;
class Counter;
class Gauge;
class Histogram;
} // namespace prometheus

// A result's label in the metrics (found, not_found, ...), also the panel's JSON key.
const char *NomeResultado(TResultadoLeitura R);

class TMetricas {
public:
    explicit TMetricas(const std::string &Versao);
    ~TMetricas();
    TMetricas(const TMetricas &) = delete;
    TMetricas &operator=(const TMetricas &) = delete;

    void Leitura(TResultadoLeitura Resultado, std::chrono::nanoseconds Duracao, bool Enviada);
    void ServidorRodando(bool Rodando);
    void TerminalConectado(int Conectados);
    void TerminalDesconectado(int Conectados);
    void CadastroLinhas(int Linhas);
    void CadastroSalvo(bool Ok);

    // The Prometheus text format of every metric, the process's own figures read now.
    std::string Texto() const;

private:
    std::shared_ptr<prometheus::Registry> FRegistro;
    prometheus::Counter *FLeituras[6];
    prometheus::Histogram *FDuracao;
    prometheus::Counter *FNaoEnviadas, *FConexoes, *FDesconexoes, *FErrosBanco;
    prometheus::Counter *FSalvos, *FSalvosFalhos;
    prometheus::Gauge *FConectados, *FRodando, *FLinhas;
    prometheus::Gauge *FMemoria, *FDescritores, *FInicio;
    prometheus::Gauge *FBancoAtivo = nullptr; // made at the first lookup's end
};
