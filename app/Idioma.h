#pragma once
// Qt's own texts (file chooser, message box buttons) in Portuguese, beside the program's own.
class QCoreApplication;
class QTranslator;

// Installs Qt's Portuguese translation when the session's locale is Portuguese; nothing when the
// locale is another language or the translation is not installed (package
// qt6-translations-l10n on Debian). Returns the translator, owned by Aplicacao, or null.
QTranslator *InstalarTraducaoQt(QCoreApplication &Aplicacao);
