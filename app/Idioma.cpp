#include "Idioma.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator *InstalarTraducaoQt(QCoreApplication &Aplicacao) {
    const QLocale local;
    if (local.language() != QLocale::Portuguese)
        return nullptr; // the program's texts are Portuguese: no third language beside them
    // "qt" is the catalogue of every Qt module (qt_pt_BR names qtbase_pt_BR and the others).
    auto *traducao = new QTranslator(&Aplicacao);
    if (!traducao->load(local, QStringLiteral("qt"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(traducao)) {
        delete traducao;
        return nullptr;
    }
    return traducao;
}
