#pragma once
// The main window: its layout is the Designer form uPrincipal.ui; the terminal operations come
// from TServicoTerminal (terminal/).
#include "ServicoTerminal.h"
#include <QMainWindow>
#include <QTimer>
#include <memory>

class QLabel;
namespace Ui {
class TfrmPrincipal;
}

class TfrmPrincipal : public QMainWindow, public TServicoTerminal {
    Q_OBJECT
public:
    explicit TfrmPrincipal(TDependencias Dependencias = {}, QWidget *Pai = nullptr);
    ~TfrmPrincipal() override;

    // Status bar panels: 0 the maker's name, 1 the server state.
    QLabel *StatusPainel(int Indice) const { return FPaineis[Indice]; }

    QTimer TimerInit;

protected:
    bool event(QEvent *Evento) override;
    void showEvent(QShowEvent *Evento) override;

private:
    // Runs an event handler through the default error report.
    template <typename F> void Tratar(F &&Manipulador) {
        Proteger(Avisos(), std::forward<F>(Manipulador));
    }
    void FormShow();
    void TimerInitTimer();

    std::unique_ptr<Ui::TfrmPrincipal> ui;
    QLabel *FPaineis[2];
    bool FMostrada = false;
};
