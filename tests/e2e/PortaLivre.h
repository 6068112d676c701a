#pragma once
// A loopback port that was free a moment ago, for a program of the test's own to listen on.
#include <QTcpServer>

inline quint16 portaLivre() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
