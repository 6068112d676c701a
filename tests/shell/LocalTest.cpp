// Where the register lives for a user who cannot write the program's folder, and Qt's own
// texts in the session's language.
#include "Idioma.h"
#include "PastaCadastro.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(CadastroFolder, BesideTheExecutableWhenWritableElseTheUsersDataFolder) {
    QTemporaryDir dados, programa;
    const QByteArray antes = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dados.path().toLocal8Bit());
    const QString pastaDados =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    ASSERT_TRUE(pastaDados.startsWith(dados.path())) << pastaDados.toStdString();

    EXPECT_EQ(PastaDoCadastro(programa.path()), programa.path());
    // /proc takes no new file even from root, as /usr/lib takes none from a shop's user.
    EXPECT_EQ(PastaDoCadastro(QStringLiteral("/proc")), pastaDados);
    EXPECT_TRUE(QDir(pastaDados).exists()); // ready for the first save
    if (geteuid() != 0) { // a folder this user may read but not write (root writes anyway)
        QFile::setPermissions(programa.path(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(PastaDoCadastro(programa.path()), pastaDados);
        QFile::setPermissions(programa.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(QDir(programa.path()).entryList(QDir::Files | QDir::Hidden).size(), 0)
        << "the probe left a file beside the executable";
    qputenv("XDG_DATA_HOME", antes);
}

namespace {

struct CasoIdioma {
    const char *Local;
    const char *Cancelar; // Qt's own button text
};

} // namespace

TEST(QtTranslation, QtsOwnTextsFollowAPortugueseSession) {
    const CasoIdioma casos[] = {{"pt_BR", "Cancelar"},
                                {"en_US", "Cancel"}, {"de_DE", "Cancel"}};
    for (const CasoIdioma &caso : casos) {
        SCOPED_TRACE(caso.Local);
        QLocale::setDefault(QLocale(QString::fromLatin1(caso.Local)));
        QTranslator *traducao = InstalarTraducaoQt(*QCoreApplication::instance());
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QString::fromUtf8(caso.Cancelar));
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"),
                  QString::fromUtf8(traducao ? "Abrir" : "Open"));
        if (traducao)
            QCoreApplication::removeTranslator(traducao);
        delete traducao;
    }
    QLocale::setDefault(QLocale::system());
}
