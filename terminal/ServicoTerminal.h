#pragma once
// The terminal service: server control, the library's notifications, the barcode road and the
// operator's terminal administration. The main window (app/) inherits it, so these operations
// are the window's own while terminal/ never sees the window's class: app -> terminal only.
#include "Avisos.h"
#include "Consultas.h"
#include "FalhasConsulta.h"
#include "ObservadorServico.h"
#include "PortaJanela.h"
#include "uIntQS62K.h"
#include <QByteArray>
#include <QString>
#include <QTime>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The window's controls that the service reads and writes.
struct TCamposTerminal {
    QPushButton *BtnIniciar = nullptr;
    QLabel *StatusPainel1 = nullptr;
    QPlainTextEdit *MemConexao = nullptr;
    QPlainTextEdit *Memo3 = nullptr;
    QListWidget *listTerminais = nullptr;
    QLineEdit *txtTerminalSelecionado = nullptr;
    QLabel *lblCodigo = nullptr;
    QLabel *lblCodeTerminal = nullptr;
    QLineEdit *EditDatabase = nullptr;
    QLineEdit *txtTerminal = nullptr;
    QLineEdit *txtServidor = nullptr;
    QLineEdit *txtNetmask = nullptr;
    QLineEdit *txtExibicao = nullptr;
    QLineEdit *txtLinha1 = nullptr;
    QLineEdit *txtLinha2 = nullptr;
    QLineEdit *txtLinha3 = nullptr;
    QLineEdit *txtLinha4 = nullptr;
};

// What tests replace; each empty member means the real thing.
struct TDependencias {
    std::optional<TIntQS62K> Lurma;  // empty: pqtLurma beside the executable, on first use
    std::shared_ptr<TAvisos> Avisos; // null: real message boxes
    std::function<QTime()> Relogio;  // empty: the local time
    // How long a lookup may take, the attach included, before it is abandoned and reported.
    std::chrono::milliseconds PrazoConsulta{10000};
    TObservadorServico *Observador = nullptr; // null: nobody watches; else outlives the service
    // Whether the database of a server path is held open while the server serves it
    // (TBaseAberta).
    bool BaseAberta = true;
};

// Texto centred in Largura columns as Windows-1252 bytes, at most Largura of them.
QByteArray Centralizar(const QString &Texto, int Largura);

// A product's description for the terminal's line: centred when it has fewer characters than the
// line, otherwise whole (the terminal shows what fits); control characters become blanks.
QByteArray LinhaDescricao(const QString &Descricao);

// Preco (ten-thousandths) in the user's locale currency format with two decimals, rounded half
// away from zero to the cent, as the terminal can show it: blanks and minus signs without a
// Windows-1252 byte become their look-alikes (' ', '-'), other scripts' digits Latin ones, and a
// currency sign without bytes the ISO code. Never cut: when wider than Largura columns, it goes
// without blanks, then also without the currency sign, then also without the grouping; none
// when even that is wider.
std::optional<QString> TextoPreco(int64_t Preco, int Largura = LURMA_LINE);

// "hh:mm:ss" with the user's locale time separator.
QString TextoHora(const QTime &Hora);

class TServicoTerminal {
public:
    static inline const QString Titulo = QStringLiteral("Servidor Lurma");

    // Janela receives the library's notifications as TEventoMensagem events.
    TServicoTerminal(TDependencias Dependencias, QWidget *Janela);
    virtual ~TServicoTerminal();
    TServicoTerminal(const TServicoTerminal &) = delete;
    TServicoTerminal &operator=(const TServicoTerminal &) = delete;

    // Server state: 0 stopped, 1 running.
    int Tag = 0;

    void BtnIniciarClick();
    void WndProc(uint32_t Mensagem);
    void LimparCampos(bool Tudo);
    void listTerminaisClick();
    void btnDesconectarClick();
    void btnCapturarClick();
    void btnEnviarClick();

    // Abandons the lookups (waiting ones dropped, running ones left to end on their own, their
    // results dropped; it never waits) and calls bTerminate. Also for the exit; the service calls
    // it on destruction while the library still runs, so that it never posts to a window that is
    // gone.
    void TerminarBiblioteca();
    // Whether a lookup is waiting or running.
    bool ConsultasEmAndamento() const { return FConsultas->Ocupada(); }
    // Replies the library refused (the terminal gone or scanning again meanwhile): counted, as
    // nobody needs to hear of each one.
    uint64_t RespostasNaoEnviadas() const { return FRespostasNaoEnviadas; }

    TAvisos &Avisos() { return *FAvisos; }
    TObservadorServico &Observador() { return *FObservador; }

protected:
    // Called once the window's controls exist.
    void LigarCampos(const TCamposTerminal &Campos);

private:
    const TIntQS62K &Lurma();
    QString RegistrarEvento(QPlainTextEdit *Log, uint32_t Endereco);
    void Conexao(uint32_t Endereco);
    void Desconexao(uint32_t Endereco);
    void CodigoDeBarras(uint32_t Endereco, const QString &Codigo);
    void Responder(const TConsultas::Resultado &R);
    void Atrasada(uint32_t Endereco, const QString &Codigo);
    void Falhou(uint32_t Endereco, const QString &Codigo, const QString &Causa);
    void Substituida(uint32_t Endereco, const QString &Codigo);
    QString TextoEndereco(uint32_t Endereco);
    void Avisar(const QString &Texto, bool Sucesso);

    TCamposTerminal FCampos;
    std::optional<TIntQS62K> FLurma;
    std::shared_ptr<TAvisos> FAvisos;
    std::function<QTime()> FRelogio;
    TPortaJanela FPorta;
    std::optional<uint32_t> FNotificacao;
    bool FBibliotecaAtiva = false;
    std::chrono::milliseconds FPrazoConsulta;
    std::unique_ptr<TConsultas> FConsultas;
    TFalhasConsulta FFalhas;
    uint64_t FRespostasNaoEnviadas = 0;
    TObservadorServico *FObservador;
};
