#include "CopiaUnica.h"

#include "Avisos.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// What the running copy says first, so that a socket whose owner hangs counts as nobody.
const QByteArray Saudacao = "ServidorLurma\n";

// The terminal library's port as the library reads LURMA_PORT ("06550" is 6550), 6550 when
// unset; 0 for a text the library refuses (blanks and signs too), so that a copy that serves
// nothing never stands in the way of one that would.
uint Porta() {
    const QString texto = qEnvironmentVariable("LURMA_PORT");
    if (texto.isEmpty())
        return 6550;
    bool numero = std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.isDigit(); });
    const uint porta = numero ? texto.toUInt(&numero) : 0;
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

// Whether a copy answers at Nome within 2 s. Esperar: the copy that holds the lock may not
// listen yet (it took the lock a moment ago), so the socket is tried again meanwhile.
bool Respondeu(const QString &Nome, bool Esperar) {
    const QDeadlineTimer prazo(2000);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(Nome);
        if (socket.waitForConnected(int(prazo.remainingTime()))) {
            while (socket.bytesAvailable() < Saudacao.size())
                if (prazo.hasExpired() || !socket.waitForReadyRead(int(prazo.remainingTime())))
                    return false;
            return socket.read(Saudacao.size()) == Saudacao;
        }
        if (!Esperar || prazo.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

void SemTrava(const QString &Motivo) {
    RegistrarErro(QStringLiteral("Sem a trava de uma cópia por usuário e porta (%1): outra cópia "
                                 "nesta porta não será percebida.")
                      .arg(Motivo));
}

QString Falha(const QString &Caminho) {
    return Caminho + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TCopiaUnica::TCopiaUnica(QObject *Pai) : QObject(Pai) {
    if (const QString pasta = PastaParticular(); !pasta.isEmpty())
        FNome = QDir(pasta).filePath(
            QStringLiteral("ServidorLurma-%1-%2").arg(::getuid()).arg(Porta()));
}

TCopiaUnica::~TCopiaUnica() {
    if (FPorteiro.joinable()) {
        ::shutdown(FOuvinte, SHUT_RDWR); // wakes the accept
        FPorteiro.join();
    }
    if (FOuvinte >= 0)
        ::close(FOuvinte);
    if (FTrava >= 0)
        ::close(FTrava);
}

bool TCopiaUnica::OutraCopiaRodando() {
    if (FNome.isEmpty()) {
        SemTrava(QStringLiteral("nenhuma pasta particular deste usuário: XDG_RUNTIME_DIR ou %1")
                     .arg(PastaPropria()));
        return false;
    }
    const QString trava = FNome + QStringLiteral(".trava");
    FTrava = ::open(QFile::encodeName(trava).constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (FTrava < 0)
        SemTrava(Falha(trava)); // the socket alone then tells whether a copy runs
    const bool minha = FTrava >= 0 && ::flock(FTrava, LOCK_EX | LOCK_NB) == 0;
    // Held: by a copy that runs, or by one that hangs, whose lock is taken over all the same.
    // Free: nobody runs, but for a copy that took over from one that hung (it holds no lock
    // file) once the hung one has died.
    if (Respondeu(FNome, !minha))
        return true;
    Ouvir();
    return false;
}

void TCopiaUnica::Ouvir() {
    const QByteArray caminho = QFile::encodeName(FNome);
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    if (size_t(caminho.size()) >= sizeof endereco.sun_path) {
        errno = ENAMETOOLONG;
        SemTrava(Falha(FNome));
        return;
    }
    std::memcpy(endereco.sun_path, caminho.constData(), size_t(caminho.size()));
    ::unlink(caminho.constData()); // left by a copy that died, or held by one that hangs
    FOuvinte = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FOuvinte < 0 ||
        ::bind(FOuvinte, reinterpret_cast<const sockaddr *>(&endereco), sizeof endereco) != 0 ||
        ::listen(FOuvinte, 16) != 0) {
        SemTrava(Falha(FNome));
        return;
    }
    FPorteiro = std::thread([this] {
        for (;;) {
            const int outra = ::accept4(FOuvinte, nullptr, nullptr, SOCK_CLOEXEC);
            if (outra < 0) {
                if (errno == EINVAL)
                    return; // shut down by the destructor
                QThread::msleep(10); // out of descriptors or memory: not for good
                continue;
            }
            ::send(outra, Saudacao.constData(), size_t(Saudacao.size()), MSG_NOSIGNAL);
            ::close(outra);
            QMetaObject::invokeMethod(this, [this] { emit Chamada(); }, Qt::QueuedConnection);
        }
    });
}
