#include "CopiaUnica.h"

#include <QLocalSocket>

namespace {

// The terminal library's port: LURMA_PORT, 6550 when unset.
QString Porta() {
    const QString porta = qEnvironmentVariable("LURMA_PORT");
    return porta.isEmpty() ? QStringLiteral("6550") : porta;
}

QString Usuario() {
    QString usuario = qEnvironmentVariable("USER");
    if (usuario.isEmpty())
        usuario = qEnvironmentVariable("USERNAME");
    return usuario;
}

} // namespace

TCopiaUnica::TCopiaUnica(QObject *Pai)
    : QObject(Pai), FNome(QStringLiteral("ServidorLurma-%1-%2").arg(Usuario(), Porta())) {
    connect(&FServidor, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *outra = FServidor.nextPendingConnection()) {
            outra->disconnectFromServer();
            outra->deleteLater();
            emit Chamada();
        }
    });
}

bool TCopiaUnica::OutraCopiaRodando() {
    QLocalSocket socket;
    socket.connectToServer(FNome);
    if (socket.waitForConnected(1000))
        return true;
    // Nobody answers: a name left by a copy that died is taken over.
    QLocalServer::removeServer(FNome);
    FServidor.setSocketOptions(QLocalServer::UserAccessOption);
    FServidor.listen(FNome);
    return false;
}
