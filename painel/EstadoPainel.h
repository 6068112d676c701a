#pragma once
// What the panel shows, fed by the terminal service and the window on the user-interface
// thread, and handed out as a snapshot: a copy that another thread may then read and turn into
// JSON while the state goes on changing. Bounded whatever the terminals send: the last
// UltimasLeituras scans, at most CodigosAusentes distinct not-found codes and ErrosGuardados
// distinct database errors (the least recently seen leave first).
#include "Metricas.h"
#include "ObservadorServico.h"
#include "Recentes.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

struct TLinhaLeitura {
    QDateTime Hora;
    QString Terminal, Codigo;
    TResultadoLeitura Resultado = TResultadoLeitura::Erro;
    QString Mostrado;
    double Segundos = 0;
    bool Enviada = false;
};

struct TTerminalPainel {
    QString Endereco;
    QDateTime Desde;
    uint64_t Leituras = 0;
    QString UltimoCodigo;
    TResultadoLeitura UltimoResultado = TResultadoLeitura::Erro;
    QDateTime UltimaHora; // null before its first scan
};

struct TCodigoAusente {
    QString Codigo;
    uint64_t Contagem = 0;
    QDateTime Primeira, Ultima;
    QString UltimoTerminal;
};

struct TErroPainel {
    QString Texto;
    uint64_t Contagem = 0;
    QDateTime Primeira, Ultima;
};

struct TCadastroPainel {
    int Linhas = 0;
    QString Arquivo;
    QDateTime UltimaListagem, UltimoSalvamento; // null: none yet
    bool UltimoSalvamentoOk = true;
};

// The panel's whole content at one moment. Leituras newest first; Ausentes most frequent first
// (then the most recently seen); Erros most recent first.
struct TInstantaneo {
    QString Versao;
    QDateTime Agora;
    bool Rodando = false;
    QDateTime RodandoDesde;
    std::vector<TTerminalPainel> Terminais;
    std::vector<TLinhaLeitura> Leituras;
    std::vector<TCodigoAusente> Ausentes;
    std::vector<TErroPainel> Erros;
    TCadastroPainel Cadastro;
};

class TEstadoPainel : public TObservadorServico {
public:
    static constexpr std::size_t UltimasLeituras = 1000;
    static constexpr std::size_t CodigosAusentes = 10000;
    static constexpr std::size_t ErrosGuardados = 100;

    // Relogio: the time of each event (empty: now).
    explicit TEstadoPainel(const QString &Versao, std::function<QDateTime()> Relogio = {});

    void ServidorMudou(bool Rodando) override;
    void TerminalConectado(const QString &Endereco) override;
    void TerminalDesconectado(const QString &Endereco) override;
    void Leitura(const TLeitura &L) override;
    void CadastroAberto(int Linhas, const QString &Arquivo) override;
    void CadastroListado(int Linhas) override;
    void CadastroSalvo(bool Ok, int Linhas, const QString &Arquivo) override;

    // The copy; the sorting is left to the reader (Ordenar), off this thread.
    TInstantaneo Instantaneo() const;
    const TMetricas &Metricas() const { return FMetricas; }

private:
    QString FVersao;
    std::function<QDateTime()> FRelogio;
    TMetricas FMetricas;
    bool FRodando = false;
    QDateTime FRodandoDesde;
    std::map<QString, TTerminalPainel> FTerminais;
    std::deque<TLinhaLeitura> FLeituras; // newest at the back
    TRecentes<QString, TCodigoAusente> FAusentes{CodigosAusentes};
    TRecentes<QString, TErroPainel> FErros{ErrosGuardados};
    TCadastroPainel FCadastro;
};

// Puts a snapshot's lists in the order TInstantaneo states; for the thread that reads it.
void Ordenar(TInstantaneo &I);
