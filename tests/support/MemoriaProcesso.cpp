#include "MemoriaProcesso.h"

#include <QFile>

long memoriaKb(const QString &Processo, const char *Campo) {
    QFile status(QStringLiteral("/proc/%1/status").arg(Processo));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray rotulo = QByteArray(Campo) + ':';
    for (const QByteArray &linha : status.readAll().split('\n'))
        if (linha.startsWith(rotulo))
            return linha.mid(rotulo.size()).simplified().split(' ').value(0).toLong();
    return -1;
}
