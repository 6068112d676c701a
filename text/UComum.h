#pragma once
// Small text helpers shared by the register titles and the terminal buffers.
#include <QString>

QString Replicar(const QString &Texto, int Vezes);
QString Espacos(int Quantidade);
QString Substituir(const QString &Texto, const QString &Antigo, const QString &Novo);
QString Minusculas(const QString &Texto);
QString Capitalizar(const QString &Texto, bool CapitalizarCurto);
// Removes every character of code 32 or below from both ends.
QString Trim(const QString &Texto);
