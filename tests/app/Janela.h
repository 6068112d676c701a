#pragma once
// A real main window whose terminal library, message boxes and clock are fakes.
#include "Falsos.h"
#include "QStringImpressao.h"
#include "uPrincipal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class JanelaTeste : public ::testing::Test {
protected:
    LurmaFalsa lurma; // declared first: the window may still call it while it is destroyed
    std::shared_ptr<AvisosGravados> avisos = std::make_shared<AvisosGravados>();
    QTemporaryDir pasta; // Cadastro.xml goes here, not beside the test
    std::unique_ptr<TfrmPrincipal> janela;

    static TOpcoesJanela opcoes(const QString &pastaCadastro) {
        return {pastaCadastro, [](int) {}, [] { return false; }};
    }

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        janela = std::make_unique<TfrmPrincipal>(
            TDependencias{lurma.Tabela(), avisos, [] { return QTime(9, 5, 7); }}, nullptr,
            opcoes(pasta.path()));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    template <typename T = QWidget> T *c(const char *nome) const {
        T *w = janela->findChild<T *>(nome);
        if (!w)
            throw std::logic_error(std::string("no control ") + nome);
        return w;
    }
    QLineEdit *campo(const char *nome) const { return c<QLineEdit>(nome); }
    QStringList linhas(const char *log) const {
        const QString t = c<QPlainTextEdit>(log)->toPlainText();
        return t.isEmpty() ? QStringList() : t.split(u'\n');
    }
    QStringList lista() const {
        QStringList r;
        auto *l = c<QListWidget>("listTerminais");
        for (int i = 0; i < l->count(); ++i)
            r << l->item(i)->text();
        return r;
    }
    void clicar(const char *botao) const { c<QPushButton>(botao)->click(); }
    void iniciar() const { clicar("BtnIniciar"); }
    // One notification per queued event, delivered as the event loop would; then the event
    // loop runs until the lookups that the scans started have ended (at most a minute).
    void entregar() {
        for (size_t n = lurma.eventos.size(); n > 0; --n)
            lurma.notificar();
        QCoreApplication::sendPostedEvents();
        esperarConsultas();
    }
    bool esperarConsultas(int ms = 60000) const {
        const QDeadlineTimer prazo(ms);
        while (janela->ConsultasEmAndamento() && !prazo.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return !janela->ConsultasEmAndamento();
    }
};
