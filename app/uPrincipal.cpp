#include "uPrincipal.h"

#include "ui_uPrincipal.h"

#include <QLabel>
#include <QSettings>

TfrmPrincipal::TfrmPrincipal(TDependencias Dependencias, QWidget *Pai)
    : QMainWindow(Pai), TServicoTerminal(std::move(Dependencias), this),
      ui(std::make_unique<Ui::TfrmPrincipal>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(544, 696);

    for (QLabel *&painel : FPaineis)
        painel = new QLabel(ui->StatusBar);
    FPaineis[0]->setFixedWidth(350);
    ui->StatusBar->addWidget(FPaineis[0]);
    ui->StatusBar->addWidget(FPaineis[1], 1);

    LigarCampos({ui->BtnIniciar, FPaineis[1], ui->MemConexao, ui->Memo3, ui->listTerminais,
                 ui->txtTerminalSelecionado, ui->lblCodigo, ui->lblCodeTerminal, ui->EditDatabase,
                 ui->txtTerminal, ui->txtServidor, ui->txtNetmask, ui->txtExibicao, ui->txtLinha1,
                 ui->txtLinha2, ui->txtLinha3, ui->txtLinha4});

    connect(ui->BtnIniciar, &QPushButton::clicked, this,
            [this] { Tratar([this] { BtnIniciarClick(); }); });
    connect(ui->btnDesconectar, &QPushButton::clicked, this,
            [this] { Tratar([this] { btnDesconectarClick(); }); });
    connect(ui->btnCapturar, &QPushButton::clicked, this,
            [this] { Tratar([this] { btnCapturarClick(); }); });
    connect(ui->btnEnviar, &QPushButton::clicked, this,
            [this] { Tratar([this] { btnEnviarClick(); }); });
    // A click on the current row again, or a move by mouse or keyboard: both select.
    connect(ui->listTerminais, &QListWidget::itemClicked, this,
            [this] { Tratar([this] { listTerminaisClick(); }); });
    connect(ui->listTerminais, &QListWidget::currentRowChanged, this,
            [this] { Tratar([this] { listTerminaisClick(); }); });

    TimerInit.setSingleShot(true);
    TimerInit.setInterval(1000);
    connect(&TimerInit, &QTimer::timeout, this, [this] { Tratar([this] { TimerInitTimer(); }); });
}

TfrmPrincipal::~TfrmPrincipal() = default;

bool TfrmPrincipal::event(QEvent *Evento) {
    if (Evento->type() == TEventoMensagem::Tipo() &&
        !Proteger(Avisos(), [&] { WndProc(static_cast<TEventoMensagem *>(Evento)->Mensagem); }))
        return true; // a failed lookup is not handed on
    return QMainWindow::event(Evento);
}

void TfrmPrincipal::showEvent(QShowEvent *Evento) {
    QMainWindow::showEvent(Evento);
    if (!FMostrada) {
        FMostrada = true;
        Tratar([this] { FormShow(); });
    }
}

// The first showing: the remembered database path, empty terminal fields, and the automatic
// start one second later. The tray start-up extends these two.
void TfrmPrincipal::FormShow() {
    QSettings armazem(QSettings::IniFormat, QSettings::UserScope,
                      QStringLiteral("ZELNA'S Software"), QStringLiteral("ServidorLurma"));
    ui->EditDatabase->setText(armazem.value(QStringLiteral("Config/EditDatabase")).toString());
    LimparCampos(true);
    TimerInit.start();
}

void TfrmPrincipal::TimerInitTimer() {
    TimerInit.stop();
    BtnIniciarClick();
}
