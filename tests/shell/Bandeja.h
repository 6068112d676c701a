#pragma once
// A real main window with the terminal library, the message boxes and the fades' pauses faked,
// Cadastro.xml in a temporary directory, and the per-user store's file at hand.
#include "Falsos.h"
#include "QStringImpressao.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// The INI file that TSaveEdit of this program reads and writes.
inline QString arquivoConfig() {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "ZELNA'S Software",
                QCoreApplication::applicationName());
    return s.fileName();
}

inline void escreverConfig(const QByteArray &conteudo) {
    QDir().mkpath(QFileInfo(arquivoConfig()).path());
    QFile f(arquivoConfig());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(conteudo);
}

inline QByteArray lerConfig() {
    QFile f(arquivoConfig());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class JanelaBandeja : public ::testing::Test {
protected:
    LurmaFalsa lurma; // first: the window may still call it while it is destroyed
    std::shared_ptr<AvisosGravados> avisos = std::make_shared<AvisosGravados>();
    QTemporaryDir pasta;
    std::vector<double> pausas; // window opacity at each pause
    std::vector<int> duracoes;  // ms of each pause
    std::function<void()> naPausa;
    bool bandeja = true; // whether the desktop has a notification area
    std::unique_ptr<TfrmPrincipal> janela;

    void SetUp() override { QFile::remove(arquivoConfig()); }
    void TearDown() override {
        janela.reset();
        QFile::remove(arquivoConfig());
    }

    QString cadastro() const { return pasta.filePath("Cadastro.xml"); }

    void criar() {
        TOpcoesJanela opcoes;
        opcoes.PastaCadastro = pasta.path();
        opcoes.Pausa = [this](int ms) {
            pausas.push_back(janela->windowOpacity());
            duracoes.push_back(ms);
            if (naPausa)
                naPausa();
        };
        opcoes.BandejaExiste = [this] { return bandeja; };
        janela = std::make_unique<TfrmPrincipal>(
            TDependencias{lurma.Tabela(), avisos, [] { return QTime(9, 5, 7); }}, nullptr,
            std::move(opcoes));
    }

    template <typename T = QWidget> T *c(const char *nome) const {
        T *w = janela->findChild<T *>(nome);
        if (!w)
            throw std::logic_error(std::string("no control ") + nome);
        return w;
    }
    QAction *acao(const char *nome) const {
        QAction *a = janela->PopTrayIcon.findChild<QAction *>(nome);
        if (!a)
            throw std::logic_error(std::string("no menu item ") + nome);
        return a;
    }
    int chamadas(const std::string &nome) const {
        return int(std::count(lurma.chamadas.begin(), lurma.chamadas.end(), nome));
    }
    // Runs Abrir, which opens a file chooser, and answers the chooser once it is up: accepts
    // Arquivo in pasta, or cancels when Arquivo is empty. The chooser is always closed, so
    // nothing blocks. The choice is typed into the dialog's file name field, as an operator
    // would: a selection in its list waits for the directory listing, which runs in the
    // background. Gives the chooser's selected filter.
    QString responderSeletor(const QString &Arquivo, const std::function<void()> &Abrir) {
        QString filtro;
        QTimer vigia;
        QObject::connect(&vigia, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dialogo = qobject_cast<QFileDialog *>(w);
                if (!dialogo || !dialogo->isVisible())
                    continue;
                vigia.stop();
                filtro = dialogo->selectedNameFilter();
                if (!Arquivo.isEmpty()) {
                    dialogo->setDirectory(pasta.path());
                    if (auto *nome = dialogo->findChild<QLineEdit *>("fileNameEdit"))
                        nome->setText(Arquivo);
                    QMetaObject::invokeMethod(dialogo, "accept");
                }
                if (dialogo->isVisible())
                    dialogo->reject();
            }
        });
        vigia.start(10);
        Abrir();
        return filtro;
    }
    // The first showing, then the tick of TimerInit without waiting its second.
    void mostrar() {
        janela->show();
        QCoreApplication::processEvents();
    }
    void tique() {
        ASSERT_TRUE(janela->TimerInit.isActive());
        janela->TimerInit.start(0);
        for (int i = 0; i < 50 && janela->TimerInit.isActive(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};
