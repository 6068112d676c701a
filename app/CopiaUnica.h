#pragma once
// One copy of the program per user and terminal port. A second copy cannot take the port the
// first one serves; instead of looking like a working server it asks the running copy to show
// its window and ends. Through a lock file and a local socket named after the user's id and the
// port's number, in a folder that only this user can reach: the session's runtime folder
// (XDG_RUNTIME_DIR), or else a private folder of the user's own in the temporary folder. So
// copies of other users, or on other ports, do not meet, and nothing another user leaves can
// stop the program. The lock file decides (the kernel drops its lock when its copy dies, and of
// copies started at once only one gets it); the socket is answered by a thread of its own, so
// a copy still busy starting up answers as well.
#include <QObject>
#include <QString>
#include <thread>

class TCopiaUnica : public QObject {
    Q_OBJECT
public:
    explicit TCopiaUnica(QObject *Pai = nullptr);
    ~TCopiaUnica() override;

    // Whether another copy answered: it has been asked to show its window. Otherwise this copy
    // takes the lock, also from a copy that died or does not answer, and answers the next ones
    // (Chamada). Without a private folder there is no lock: said in the error log.
    bool OutraCopiaRodando();

signals:
    void Chamada(); // another copy asks this one to show its window

private:
    void Ouvir();

    QString FNome;   // the socket's path; empty without a private folder
    int FTrava = -1; // the lock file, held for the whole run
    int FOuvinte = -1;
    std::thread FPorteiro; // answers FOuvinte
};
