#pragma once
// One copy of the program per user and terminal port. A second copy cannot take the port the
// first one serves; instead of looking like a working server it asks the running copy to show
// its window and ends. Through a local socket named after the user and the port, so copies of
// other users, or on other ports, do not meet.
#include <QLocalServer>
#include <QObject>
#include <QString>

class TCopiaUnica : public QObject {
    Q_OBJECT
public:
    explicit TCopiaUnica(QObject *Pai = nullptr);

    // Whether another copy answered: it has been asked to show its window. Otherwise this copy
    // takes the name and answers the next ones (Chamada).
    bool OutraCopiaRodando();

signals:
    void Chamada(); // another copy asks this one to show its window

private:
    QString FNome;
    QLocalServer FServidor;
};
