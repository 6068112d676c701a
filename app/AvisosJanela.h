#pragma once
// The main window's message boxes by the moment of the program's life. While the program runs
// they are the modal boxes (or a test's). A box at start-up must not hold the start back: it is
// shown without waiting for an answer. At the exit nobody may be at the screen: no box at all.
// Outside the normal run each text also goes to standard error (the error report has already
// written LURMA_ERROR_LOG).
#include "Avisos.h"
#include <memory>

class TAvisosJanela : public TAvisos {
public:
    enum class Modo { Modal, SemEsperar, Calado };

    // Interno: the boxes of the normal run; null for the real ones on top of Pai.
    TAvisosJanela(std::shared_ptr<TAvisos> Interno, QWidget *Pai);

    QMessageBox::StandardButton Mostrar(const QString &Texto, const QString &Titulo,
                                        QMessageBox::Icon Icone,
                                        QMessageBox::StandardButtons Botoes) override;

    Modo FModo = Modo::Modal;

private:
    std::shared_ptr<TAvisos> FInterno;
    bool FReal; // FInterno is the real boxes: SemEsperar opens a box of its own
};
