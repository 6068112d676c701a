#pragma once
// The "window handle" handed to the terminal library: registered message numbers and a post
// from any thread that becomes a queued Qt event to the window.
#include "pqtLurma.h"
#include <QEvent>
#include <QObject>
#include <cstdint>

// One registered window message on its way to the window.
class TEventoMensagem : public QEvent {
public:
    explicit TEventoMensagem(uint32_t Numero) : QEvent(Tipo()), Mensagem(Numero) {}
    static QEvent::Type Tipo();
    const uint32_t Mensagem;
};

// Number of a named window message: 0xC000 and up, the same number for the same name in the
// whole process.
uint32_t RegistrarMensagem(const char *Nome);

class TPortaJanela {
public:
    explicit TPortaJanela(QObject *Janela);
    TPortaJanela(const TPortaJanela &) = delete;
    TPortaJanela &operator=(const TPortaJanela &) = delete;
    LurmaWindowPort *Porta() { return &FPorta; }

private:
    QObject *FJanela;
    LurmaWindowPort FPorta;
};
