#pragma once
// A loopback port for a program of the test's own to listen on. Test processes run side by
// side, and a server binds its port only a second after it starts (its start-up timer), so a
// port free a moment ago may be handed to two of them: a port is taken only with its lock file,
// which this process holds until it ends.
#include <QByteArray>
#include <QDir>
#include <QTcpServer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

inline quint16 portaLivre() {
    const QByteArray pasta = QFile::encodeName(QDir::temp().filePath("lurma-testes-portas"));
    if (mkdir(pasta.constData(), 01777) == 0)
        chmod(pasta.constData(), 01777); // shared by every user's tests, whatever the umask
    for (int tentativa = 0; tentativa < 1000; ++tentativa) {
        QTcpServer sonda;
        if (!sonda.listen(QHostAddress::LocalHost, 0))
            qFatal("no free loopback port: %s", qPrintable(sonda.errorString()));
        const QByteArray trava = pasta + '/' + QByteArray::number(sonda.serverPort());
        const int fd = open(trava.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            qFatal("cannot open the port lock %s: %s", trava.constData(), strerror(errno));
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return sonda.serverPort(); // the descriptor stays open: the lock lives with us
        close(fd);
    }
    qFatal("every free loopback port tried is held by another test process");
}
