#pragma once
// The main window: its layout is the Designer form uPrincipal.ui; the terminal operations come
// from TServicoTerminal (terminal/); the register table Produtos and its grid; the tray icon and
// the window's life cycle (creation, first showing, automatic start, fades, exit).
#include "AvisosJanela.h"
#include "Listagem.h"
#include "ModeloProdutos.h"
#include "ServicoTerminal.h"
#include "Tabela.h"
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

class QLabel;
namespace Ui {
class TfrmPrincipal;
}

// What the window's tests replace; each empty member means the real thing.
struct TOpcoesJanela {
    QString PastaCadastro;               // empty: PastaDoCadastro(the executable's folder)
    std::function<void(int ms)> Pausa;   // empty: sleeps the thread
    std::function<bool()> BandejaExiste; // empty: QSystemTrayIcon::isSystemTrayAvailable
};

class TfrmPrincipal : public QMainWindow, public TServicoTerminal {
    Q_OBJECT
public:
    // Runs FormCreate.
    explicit TfrmPrincipal(TDependencias Dependencias = {}, QWidget *Pai = nullptr,
                           TOpcoesJanela Opcoes = {});
    ~TfrmPrincipal() override; // FecharCadastro, unless already done

    // Closes Produtos, which saves Cadastro.xml when due; a failure goes to the error log and
    // standard error, never to a box. Whether nothing is left unsaved.
    bool FecharCadastro();
    // Whether Produtos holds changes that Cadastro.xml lacks; PendenciaMudou tells each change.
    bool CadastroPendente() const { return Produtos.SalvamentoPendente(); }

    // Shrinks the window to a screen's free area smaller than it, and moves it inside; the
    // content then scrolls. Run at every showing with the window's screen.
    void AjustarATela(const QRect &AreaLivre);

    // Status bar panels: 0 the maker's name, 1 the server state.
    QLabel *StatusPainel(int Indice) const { return FPaineis[Indice]; }

    QTimer TimerInit;
    TTabela Produtos;
    QSystemTrayIcon TrayIcon;
    QMenu PopTrayIcon;

    // The tray menu's commands; also run by SIGTERM, SIGINT, SIGHUP and the session's end
    // (Encerar1Click).
    void Visualizar1Click();
    void Encerar1Click();
    void Sobre1Click();

    static inline const QString Legenda =
        QStringLiteral("Servidor para Terminais de Consulta Lurma - Versão: 1.00 Build: 02");

signals:
    void PendenciaMudou(bool Pendente);

protected:
    bool event(QEvent *Evento) override;
    bool eventFilter(QObject *Objeto, QEvent *Evento) override;
    void showEvent(QShowEvent *Evento) override;
    void closeEvent(QCloseEvent *Evento) override;
    void changeEvent(QEvent *Evento) override;

private:
    // Runs an event handler through the default error report.
    template <typename F> bool Tratar(F &&Manipulador) {
        return Proteger(Avisos(), std::forward<F>(Manipulador));
    }
    TAvisosJanela &AvisosJanela() { return static_cast<TAvisosJanela &>(Avisos()); }
    void CriarBandeja();
    void MontarLayout();
    void DesenharPanel1();
    void AjustarPanel2();
    void FormCreate();
    void FormShow();
    void TimerInitTimer();
    void FadeOut();
    void FadeIn();
    // Hides the window when the program's own tray icon is showing; otherwise it is minimised,
    // so that it stays reachable.
    void Esconder();
    void BtnListarClick();
    void ListarCadastro(const QString &DatabaseName);
    void ListagemTerminou(TListagem::Resultado R);
    void AbandonarListagem();
    void AvisarPendencia();
    void GridProdutosTitleClick(int Coluna);
    void GridProdutosApagar();
    // Produtos.SalvarAlteracoes, and the watcher told whether a write was due and how it went.
    void SalvarCadastro();
    void BtnDatabaseClick();

    TOpcoesJanela FOpcoes;
    std::unique_ptr<Ui::TfrmPrincipal> ui;
    QLabel *FPaineis[2];
    TModeloProdutos FModelo{Produtos}; // after Produtos: detaches before the table goes
    TListagem FListagem{[this](TListagem::Resultado R) {
        Tratar([this, &R] { ListagemTerminou(std::move(R)); });
    }};
    bool FMostrada = false;
    bool FEncerrando = false;      // the exit has begun: terminal events are dropped
    bool FCadastroFechado = false; // FecharCadastro has run
};
