#pragma once
// Windows-1252, the single-byte code page of the terminals, the database connection and the
// register file. All 256 bytes map both ways; the five unassigned ones to the C1 controls of
// the same number, so a round trip never loses a byte.
#include <QByteArray>
#include <QString>

QByteArray ParaCp1252(const QString &texto);   // characters without a byte become '?'
QString DeCp1252(const QByteArray &bytes);
QString DeCp1252(const char *bytes, qsizetype tamanho);
