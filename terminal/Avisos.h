#pragma once
// Modal message boxes and the default error report, behind one small interface so that tests
// record them (text, title, icon) and answer without a person at the screen.
#include <QMessageBox>
#include <QString>
#include <exception>
#include <utility>

class TAvisos {
public:
    virtual ~TAvisos() = default;
    // Shows a modal box and returns the button chosen.
    virtual QMessageBox::StandardButton
    Mostrar(const QString &Texto, const QString &Titulo, QMessageBox::Icon Icone,
            QMessageBox::StandardButtons Botoes = QMessageBox::Ok) = 0;
};

// The real boxes, modal, on top of Pai.
class TAvisosQt : public TAvisos {
public:
    explicit TAvisosQt(QWidget *Pai) : FPai(Pai) {}
    QMessageBox::StandardButton Mostrar(const QString &Texto, const QString &Titulo,
                                        QMessageBox::Icon Icone,
                                        QMessageBox::StandardButtons Botoes) override;

private:
    QWidget *FPai;
};

// The executable's name without directory, cut before its first ".", first character unchanged
// and the rest in lower case.
QString TituloAplicacao(const QString &CaminhoExecutavel);

// The innermost non-empty message of a chain of nested exceptions, with "." appended when its
// last character's code is above 46.
QString TextoDoErro(std::exception_ptr Erro);

// The default error report: an error box captioned with the application title. One box at a
// time: errors that arrive while it is open are shown together in one box once it closes, each
// distinct text once with its count, the first ten texts by name and the rest counted. When the
// environment names a file in LURMA_ERROR_LOG every error is also appended to it as it comes,
// one line each (its line breaks become spaces), so that a process without a person at the
// screen can be watched.
void RelatarErro(TAvisos &Avisos, std::exception_ptr Erro);

// The error log alone, without a box: appends Texto to the file named in LURMA_ERROR_LOG (as one
// line) and writes it to standard error. For what nobody needs to answer.
void RegistrarErro(const QString &Texto);

// Only the line in the file named in LURMA_ERROR_LOG, for a text that a box shows by itself.
void AnotarErro(const QString &Texto);

// Runs one event handler; an error that escapes it goes to the default report. Returns whether
// the handler ended normally. Exceptions must not cross Qt's event dispatch.
template <typename F> bool Proteger(TAvisos &Avisos, F &&Manipulador) {
    try {
        std::forward<F>(Manipulador)();
        return true;
    } catch (...) {
        RelatarErro(Avisos, std::current_exception());
        return false;
    }
}
