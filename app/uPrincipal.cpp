#include "uPrincipal.h"

#include "ui_uPrincipal.h"

#include "CopiarDataSet.h"
#include "PastaCadastro.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <qdrawutil.h>
#include <QScopeGuard>
#include <QThread>
#include <QToolButton>
#include <stdexcept>

namespace {

// The database of a server path is held open between lookups unless the per-user store says
// Config/ManterBaseAberta=false, or the environment LURMA_BASE_ABERTA=0 (for tests).
bool BaseAbertaLigada() {
    if (qEnvironmentVariable("LURMA_BASE_ABERTA") == u"0")
        return false;
    const std::unique_ptr<QSettings> armazem =
        AbrirArmazem(TSaveEdit::NomeAplicacao(QCoreApplication::applicationFilePath()));
    const QVariant valor = armazem->value(QStringLiteral("Config/ManterBaseAberta"));
    return armazem->status() != QSettings::NoError || !valor.isValid() || valor.toBool();
}

// The window's boxes go through TAvisosJanela, around the given ones (a test's) or the real.
TDependencias ComAvisosDaJanela(TDependencias Dependencias, QWidget *Janela) {
    Dependencias.Avisos = std::make_shared<TAvisosJanela>(std::move(Dependencias.Avisos), Janela);
    Dependencias.BaseAberta = Dependencias.BaseAberta && BaseAbertaLigada();
    return Dependencias;
}

// One stretch of the program's life with its own way of showing boxes.
class TModoAvisos {
public:
    TModoAvisos(TAvisosJanela &Avisos, TAvisosJanela::Modo Modo)
        : FAvisos(Avisos), FAntes(Avisos.FModo) {
        FAvisos.FModo = Modo;
    }
    ~TModoAvisos() { FAvisos.FModo = FAntes; }

private:
    TAvisosJanela &FAvisos;
    TAvisosJanela::Modo FAntes;
};

// The maker's lines of the about box.
const QString Direitos =
    QStringLiteral("Copyright © ZELNA'S Software. Todos os direitos reservados.");
const QString Endereco = QStringLiteral("www.zelnas.com.br");

} // namespace

TfrmPrincipal::TfrmPrincipal(TDependencias Dependencias, QWidget *Pai, TOpcoesJanela Opcoes)
    : QMainWindow(Pai), TServicoTerminal(ComAvisosDaJanela(std::move(Dependencias), this), this),
      FOpcoes(std::move(Opcoes)), ui(std::make_unique<Ui::TfrmPrincipal>()) {
    if (!FOpcoes.Pausa)
        FOpcoes.Pausa = [](int ms) { QThread::msleep(ulong(ms)); };
    if (!FOpcoes.BandejaExiste)
        FOpcoes.BandejaExiste = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (FOpcoes.PastaCadastro.isEmpty())
        FOpcoes.PastaCadastro = PastaDoCadastro(QCoreApplication::applicationDirPath());
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(544, 696);

    MontarLayout();
    // Labels show what terminals and databases send: a code such as <u>12</u>3 is no markup.
    for (QLabel *rotulo : findChildren<QLabel *>())
        rotulo->setTextFormat(Qt::PlainText);

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
    // A click on the current row again, or a selection by mouse or keyboard (arrows, Space).
    connect(ui->listTerminais, &QListWidget::itemClicked, this,
            [this] { Tratar([this] { listTerminaisClick(); }); });
    connect(ui->listTerminais, &QListWidget::itemSelectionChanged, this,
            [this] { Tratar([this] { listTerminaisClick(); }); });

    TimerInit.setSingleShot(true);
    TimerInit.setInterval(1000);
    connect(&TimerInit, &QTimer::timeout, this, [this] { Tratar([this] { TimerInitTimer(); }); });

    ui->EditDatabase->DefinirAvisos(&Avisos());
    connect(ui->BtnDatabase, &QToolButton::clicked, this,
            [this] { Tratar([this] { BtnDatabaseClick(); }); });
    connect(ui->BtnListar, &QPushButton::clicked, this,
            [this] { Tratar([this] { BtnListarClick(); }); });
    LigarGrade(*ui->GridProdutos, FModelo);
    connect(ui->GridProdutos->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int Coluna) { Tratar([this, Coluna] { GridProdutosTitleClick(Coluna); }); });
    ui->GridProdutos->installEventFilter(this);

    CriarBandeja();
    // Start-up never waits on a box (nobody may be at the screen): its errors are shown without
    // waiting for an answer, and the server starts a second after the window all the same.
    const TModoAvisos semEsperar(AvisosJanela(), TAvisosJanela::Modo::SemEsperar);
    Tratar([this] { FormCreate(); });
}

// Panel1 (544 x 677) sits in a scroll area: where the screen's free area is smaller than the
// window (a small screen, a large text scale) the window shrinks to fit and the content
// scrolls. The status bar is 19 px high; its two panels are placed by hand, as QStatusBar's
// own layout puts margins and spacing around its items.
void TfrmPrincipal::MontarLayout() {
    auto *rolagem = new QScrollArea(this);
    rolagem->setObjectName(QStringLiteral("Rolagem"));
    rolagem->setFrameShape(QFrame::NoFrame);
    // Not a control: a click on "..." (which takes no focus) would hand it the focus, and
    // Tab would stop on it.
    rolagem->setFocusPolicy(Qt::NoFocus);
    ui->Panel1->setFixedSize(544, 677);
    rolagem->setWidget(takeCentralWidget());
    setCentralWidget(rolagem);
    ui->Panel1->installEventFilter(this);

    ui->StatusBar->setFixedHeight(19);
    for (QLabel *&painel : FPaineis) {
        painel = new QLabel(ui->StatusBar);
        painel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        painel->setIndent(2);
    }
    FPaineis[0]->setGeometry(0, 0, 350, 19);
    FPaineis[1]->setGeometry(350, 0, 544 - 350, 19);
    ui->StatusBar->installEventFilter(this);
    ui->TabSheet2->installEventFilter(this);
    installEventFilter(this); // its own showing: fit the screen first
}

void TfrmPrincipal::AjustarATela(const QRect &AreaLivre) {
    const QSize moldura = frameGeometry().size() - geometry().size(); // title bar, borders
    setFixedSize(std::min(544, AreaLivre.width() - moldura.width()),
                 std::min(696, AreaLivre.height() - moldura.height()));
    QRect janela = frameGeometry();
    janela.moveRight(std::min(janela.right(), AreaLivre.right()));
    janela.moveBottom(std::min(janela.bottom(), AreaLivre.bottom()));
    janela.moveLeft(std::max(janela.left(), AreaLivre.left()));
    janela.moveTop(std::max(janela.top(), AreaLivre.top()));
    move(janela.topLeft());
}

// Panel1's lowered inner bevel, 5 px inside its raised outer one.
void TfrmPrincipal::DesenharPanel1() {
    QPainter pintor(ui->Panel1);
    const int dentro = ui->Panel1->frameWidth() + 5;
    qDrawShadePanel(&pintor, ui->Panel1->rect().adjusted(dentro, dentro, -dentro, -dentro),
                    ui->Panel1->palette(), true, 1);
}

// Panel2 spans its page, whose width the style's page frame decides; the grid spans Panel2 and
// the list button stays at its bottom right.
void TfrmPrincipal::AjustarPanel2() {
    const int largura = ui->TabSheet2->width();
    ui->Panel2->resize(largura, ui->Panel2->height());
    ui->GridProdutos->resize(largura, ui->GridProdutos->height());
    ui->BtnListar->move(largura - 8 - ui->BtnListar->width(), ui->BtnListar->y());
}

TfrmPrincipal::~TfrmPrincipal() {
    AbandonarListagem();
    if (!FCadastroFechado)
        FecharCadastro();
}

// The previous file stays whole when the save fails.
bool TfrmPrincipal::FecharCadastro() {
    FCadastroFechado = true;
    const TModoAvisos calado(AvisosJanela(), TAvisosJanela::Modo::Calado);
    const bool salvo = Tratar([this] { Produtos.Fechar(); });
    AvisarPendencia();
    return salvo;
}

void TfrmPrincipal::AvisarPendencia() {
    emit PendenciaMudou(CadastroPendente());
}

void TfrmPrincipal::CriarBandeja() {
    const auto item = [this](const char *Nome, const QString &Texto,
                             void (TfrmPrincipal::*Acao)()) {
        QAction *a = PopTrayIcon.addAction(Texto);
        a->setObjectName(QString::fromLatin1(Nome));
        connect(a, &QAction::triggered, this,
                [this, Acao] { Tratar([this, Acao] { (this->*Acao)(); }); });
    };
    PopTrayIcon.setObjectName(QStringLiteral("PopTrayIcon"));
    item("Visualizar1", QStringLiteral("Visualizar"), &TfrmPrincipal::Visualizar1Click);
    item("Encerar1", QStringLiteral("Encerar"), &TfrmPrincipal::Encerar1Click);
    PopTrayIcon.addSeparator()->setObjectName(QStringLiteral("N1"));
    item("Sobre1", QStringLiteral("Sobre"), &TfrmPrincipal::Sobre1Click);
    // The context menu opens on a right click; left and double clicks are not connected.
    TrayIcon.setContextMenu(&PopTrayIcon);
}

void TfrmPrincipal::FormCreate() {
    ui->PageControl1->setCurrentIndex(0);
    TimerInit.stop();
    Tag = 0;
    FPaineis[0]->setText(QStringLiteral("ZELNA'S Software"));
    setWindowTitle(Legenda);
    Produtos.Fechar();
    Produtos.NomeArquivo = QDir(FOpcoes.PastaCadastro).filePath(QStringLiteral("Cadastro.xml"));
    if (QFileInfo::exists(Produtos.NomeArquivo)) { // a symbolic link counts when its target does
        // A faulty file does not keep the tray icon away: the table stays closed.
        Tratar([this] {
            Produtos.Abrir();
            AjustarCampos(Produtos);
            Observador().CadastroAberto(Produtos.ContarLinhas(), Produtos.NomeArquivo);
        });
    }
    AvisarPendencia();
    TrayIcon.setToolTip(TituloAplicacao(QCoreApplication::applicationFilePath()).left(127));
    TrayIcon.setIcon(QApplication::windowIcon());
    TrayIcon.show();
}

bool TfrmPrincipal::event(QEvent *Evento) {
    if (Evento->type() == TEventoMensagem::Tipo() && FEncerrando)
        return true; // scans still queued at the exit are dropped
    if (Evento->type() == TEventoMensagem::Tipo() &&
        !Proteger(Avisos(), [&] { WndProc(static_cast<TEventoMensagem *>(Evento)->Mensagem); }))
        return true; // a failed lookup is not handed on
    return QMainWindow::event(Evento);
}

void TfrmPrincipal::showEvent(QShowEvent *Evento) {
    QMainWindow::showEvent(Evento);
    if (!FMostrada) {
        FMostrada = true;
        // Realising EditDatabase loads the remembered path: an error there must not hold back
        // the timer that starts the server.
        const TModoAvisos semEsperar(AvisosJanela(), TAvisosJanela::Modo::SemEsperar);
        Tratar([this] { FormShow(); });
    }
}

// Showing page "Cadastro" realises EditDatabase, which loads the remembered database path
// before the automatic start one second later.
void TfrmPrincipal::FormShow() {
    ui->PageControl1->setCurrentIndex(1);
    ui->EditDatabase->setFocus();
    ui->PageControl1->setCurrentIndex(0);
    LimparCampos(true);
    TimerInit.start();
}

void TfrmPrincipal::TimerInitTimer() {
    TimerInit.stop();
    const auto esconder = qScopeGuard([this] { Esconder(); }); // also when the start fails
    const bool parado = Tag == 0;
    BtnIniciarClick();
    if (parado && Tag == 0) {
        // Nobody may be at the screen to see that the server is not running (the port may be
        // taken by another program): said without waiting, in the error log and on standard
        // error too.
        const TModoAvisos semEsperar(AvisosJanela(), TAvisosJanela::Modo::SemEsperar);
        RelatarErro(Avisos(), std::make_exception_ptr(std::runtime_error(
                                  "Não foi possível iniciar o servidor dos terminais (a porta "
                                  "pode estar em uso por outro programa)")));
    }
}

void TfrmPrincipal::Esconder() {
    if (FOpcoes.BandejaExiste() && TrayIcon.isVisible())
        hide();
    else
        showMinimized();
}

// Closing never ends the program: the window fades out and hides.
void TfrmPrincipal::closeEvent(QCloseEvent *Evento) {
    Evento->ignore();
    Tratar([this] { FadeOut(); });
}

// Minimising leaves no taskbar entry: the window hides; "Visualizar" brings it back.
void TfrmPrincipal::changeEvent(QEvent *Evento) {
    QMainWindow::changeEvent(Evento);
    if (Evento->type() == QEvent::WindowStateChange && isMinimized() && FOpcoes.BandejaExiste() &&
        TrayIcon.isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

// The fades stop at once when the exit begins inside them.
void TfrmPrincipal::FadeOut() {
    setWindowOpacity(1.0);
    for (int alfa = 255; alfa >= 0 && !FEncerrando; --alfa) {
        setWindowOpacity(alfa / 255.0);
        QCoreApplication::processEvents();
        FOpcoes.Pausa(5);
    }
    Esconder();
    setWindowOpacity(1.0);
}

void TfrmPrincipal::FadeIn() {
    setWindowOpacity(0.0);
    showNormal();
    activateWindow();
    for (int alfa = 0; alfa <= 255 && !FEncerrando; ++alfa) {
        setWindowOpacity(alfa / 255.0);
        QCoreApplication::processEvents();
        FOpcoes.Pausa(1);
    }
    setWindowOpacity(1.0);
}

void TfrmPrincipal::Visualizar1Click() {
    raise();
    activateWindow();
    FadeIn();
}

// From here on nobody may be at the screen: errors go to the error log and standard error.
void TfrmPrincipal::Encerar1Click() {
    FEncerrando = true;
    AvisosJanela().FModo = TAvisosJanela::Modo::Calado;
    AbandonarListagem(); // the file keeps the register it holds
    if (Tag > 0)
        TerminarBiblioteca();
    TrayIcon.hide();
    QCoreApplication::exit(0);
}

void TfrmPrincipal::Sobre1Click() {
    const QChar cr(13);
    Avisos().Mostrar(windowTitle() + cr + Direitos + cr +
                         QStringLiteral("Desenvolvimento de Sistemas e Assistência Técnica.") + cr +
                         cr + Endereco,
                     Titulo, QMessageBox::Information, QMessageBox::Ok);
}

void TfrmPrincipal::BtnListarClick() {
    if (!ui->EditDatabase->text().isEmpty())
        ListarCadastro(ui->EditDatabase->text());
}

// The listing runs on a worker (TListagem); terminals are answered meanwhile, and a click
// while it runs does nothing.
void TfrmPrincipal::ListarCadastro(const QString &DatabaseName) {
    if (FListagem.Rodando())
        return;
    TListagem::Esvaziar(Produtos);
    AvisarPendencia();
    FListagem.Iniciar(DatabaseName, Produtos.NomeArquivo);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

// With every row the listed table is on disk already, unless its save failed: it then stays
// marked changed, for the next save.
void TfrmPrincipal::ListagemTerminou(TListagem::Resultado R) {
    QApplication::restoreOverrideCursor();
    const bool comLinhas = R.Tabela->Aberta();
    TListagem::Aplicar(R, Produtos);
    AvisarPendencia();
    if (R.Completa) {
        Observador().CadastroListado(Produtos.ContarLinhas());
        if (comLinhas && !Produtos.NomeArquivo.isEmpty()) // saved, or failed to, by the worker
            Observador().CadastroSalvo(!R.Erro, Produtos.ContarLinhas(), Produtos.NomeArquivo);
    }
    if (R.Erro)
        std::rethrow_exception(R.Erro);
}

void TfrmPrincipal::AbandonarListagem() {
    if (!FListagem.Rodando())
        return;
    FListagem.Abandonar();
    QApplication::restoreOverrideCursor();
}

void TfrmPrincipal::SalvarCadastro() {
    const bool devido = Produtos.Alterada();
    try {
        Produtos.SalvarAlteracoes();
    } catch (...) {
        Observador().CadastroSalvo(false, Produtos.ContarLinhas(), Produtos.NomeArquivo);
        throw;
    }
    if (devido && !Produtos.Alterada())
        Observador().CadastroSalvo(true, Produtos.ContarLinhas(), Produtos.NomeArquivo);
}

void TfrmPrincipal::GridProdutosTitleClick(int Coluna) {
    Produtos.OrdenarPor(Coluna);
}

void TfrmPrincipal::GridProdutosApagar() {
    if (Produtos.LinhaAtual() < 0)
        return;
    if (Avisos().Mostrar(QStringLiteral("Delete record?"), Titulo, QMessageBox::Question,
                         QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    Produtos.ApagarAtual();
    const auto avisar = qScopeGuard([this] { AvisarPendencia(); });
    SalvarCadastro();
}

bool TfrmPrincipal::eventFilter(QObject *Objeto, QEvent *Evento) {
    if (Objeto == this && Evento->type() == QEvent::Show)
        AjustarATela(screen()->availableGeometry());
    else if (Objeto == ui->Panel1 && Evento->type() == QEvent::Paint)
        DesenharPanel1(); // under the frame and the children, which paint after it
    else if (Objeto == ui->StatusBar && Evento->type() == QEvent::Resize)
        FPaineis[1]->setGeometry(350, 0, std::max(0, ui->StatusBar->width() - 350), 19);
    else if (Objeto == ui->TabSheet2 && Evento->type() == QEvent::Resize)
        AjustarPanel2();
    if (Objeto == ui->GridProdutos && Evento->type() == QEvent::KeyPress) {
        const auto *tecla = static_cast<QKeyEvent *>(Evento);
        if (tecla->key() == Qt::Key_Delete && tecla->modifiers() == Qt::ControlModifier) {
            Tratar([this] { GridProdutosApagar(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(Objeto, Evento);
}

void TfrmPrincipal::BtnDatabaseClick() {
    const QString arquivo = QFileDialog::getOpenFileName(
        this, QString(), QString(), QStringLiteral("Arquivos de Dados (*.fdb)"));
    if (arquivo.isEmpty())
        return;                                       // cancelled
    ui->EditDatabase->setFocus(Qt::OtherFocusReason); // from another control: reloads first
    ui->EditDatabase->setText(QStringLiteral("Localhost:") + QDir::toNativeSeparators(arquivo));
}
