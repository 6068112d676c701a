#pragma once
// Lookups that fail one after another are one event for the operator and the error log: a
// database that fails or stalls fails every scan until it answers again. The first failure of
// such a run is reported in full, and later ones only when their cause is new to the run (at
// most MaxCausas causes); the rest are counted, and the first lookup answered again ends the run
// with one line that gives the count. So a stall with many terminals writes a few lines, not one
// per scan, and a box is not one of many.
#include <QString>
#include <QStringList>

class TFalhasConsulta {
public:
    // A lookup failed for Causa (what the database said, or that it did not answer in time):
    // whether it is to be reported.
    bool Falhou(const QString &Causa);
    // A lookup was answered: the line that ends a run of failures; empty when none ran.
    QString Respondeu();

private:
    static constexpr qsizetype MaxCausas = 10;
    QStringList FCausas; // reported in this run
    int FSemResposta = 0; // scans of this run whose lookup failed
};
