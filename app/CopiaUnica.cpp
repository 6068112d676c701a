#include "CopiaUnica.h"

#include "Avisos.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the running copy says first, so that a socket whose owner hangs counts as nobody.
const QByteArray Saudacao = "ServidorLurma\n";

// The terminal library's port as a number ("06550" is 6550): LURMA_PORT, 6550 when unset, 0
// when it holds no port (the library then refuses to start).
uint Porta() {
    const QString texto = qEnvironmentVariable("LURMA_PORT");
    if (texto.isEmpty())
        return 6550;
    bool numero = false;
    const uint porta = texto.toUInt(&numero);
    return numero && porta <= 65535 ? porta : 0;
}

// A folder (not a link to one) of this user that no other user may enter or change.
bool Particular(const QString &Pasta) {
    struct stat s {};
    return ::lstat(QFile::encodeName(Pasta).constData(), &s) == 0 && S_ISDIR(s.st_mode) &&
           s.st_uid == ::getuid() && (s.st_mode & 077) == 0;
}

// Where the lock goes when the session has no runtime folder of this user's.
QString PastaPropria() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("ServidorLurma-%1").arg(::getuid()));
}

QString PastaParticular() {
    const QString execucao = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(execucao) && Particular(execucao))
        return execucao;
    const QString propria = PastaPropria();
    ::mkdir(QFile::encodeName(propria).constData(), 0700); // another user's stays theirs
    return Particular(propria) ? propria : QString();
}

bool Saudou(QLocalSocket &Socket) {
    for (QDeadlineTimer prazo(2000); Socket.bytesAvailable() < Saudacao.size();)
        if (prazo.hasExpired() || !Socket.waitForReadyRead(int(prazo.remainingTime())))
            return false;
    return Socket.read(Saudacao.size()) == Saudacao;
}

void SemTrava(const QString &Motivo) {
    RegistrarErro(QStringLiteral("Sem a trava de uma cópia por usuário e porta (%1): outra cópia "
                                 "nesta porta não será percebida.")
                      .arg(Motivo));
}

} // namespace

TCopiaUnica::TCopiaUnica(QObject *Pai) : QObject(Pai) {
    if (const QString pasta = PastaParticular(); !pasta.isEmpty())
        FNome = QDir(pasta).filePath(
            QStringLiteral("ServidorLurma-%1-%2").arg(::getuid()).arg(Porta()));
    connect(&FServidor, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *outra = FServidor.nextPendingConnection()) {
            connect(outra, &QLocalSocket::disconnected, outra, &QObject::deleteLater);
            outra->write(Saudacao);
            outra->disconnectFromServer(); // once what was written has gone
            emit Chamada();
        }
    });
}

bool TCopiaUnica::OutraCopiaRodando() {
    if (FNome.isEmpty()) {
        SemTrava(QStringLiteral("nenhuma pasta particular deste usuário: XDG_RUNTIME_DIR ou %1")
                     .arg(PastaPropria()));
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(FNome);
    if (socket.waitForConnected(1000) && Saudou(socket))
        return true;
    socket.abort();
    // Nobody answers: a name left by a copy that died, or held by one that hangs, is taken over.
    QLocalServer::removeServer(FNome);
    FServidor.setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServidor.listen(FNome))
        SemTrava(FNome + QStringLiteral(": ") + FServidor.errorString());
    return false;
}
