#pragma once
// What the terminal service and the window tell whoever watches them (the panel), on the
// user-interface thread, so that terminal/ never depends on the watcher. Every call returns at
// once: it must not wait for anything.
#include <QString>
#include <chrono>

enum class TResultadoLeitura { Encontrado, NaoEncontrado, Erro, Prazo, Substituida, Longo };

// One scan at its end.
struct TLeitura {
    QString Terminal; // the terminal's address as text
    QString Codigo;   // as the library handed it over
    TResultadoLeitura Resultado = TResultadoLeitura::Erro;
    QString Mostrado; // what the terminal was shown, or why nothing
    // From the hand-over to the lookup until its end; zero for a superseded scan.
    std::chrono::nanoseconds Duracao{0};
    bool Enviada = true; // the reply reached the terminal library
};

class TObservadorServico {
public:
    virtual ~TObservadorServico() = default;
    virtual void ServidorMudou(bool Rodando) = 0;
    virtual void TerminalConectado(const QString &Endereco) = 0;
    virtual void TerminalDesconectado(const QString &Endereco) = 0;
    virtual void Leitura(const TLeitura &L) = 0;
    // The register: opened from its file at the start, filled by a listing, saved (Ok or not).
    virtual void CadastroAberto(int Linhas, const QString &Arquivo) = 0;
    virtual void CadastroListado(int Linhas) = 0;
    virtual void CadastroSalvo(bool Ok, int Linhas, const QString &Arquivo) = 0;
};
