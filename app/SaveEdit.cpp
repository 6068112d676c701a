#include "SaveEdit.h"

#include "Avisos.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFocusEvent>
#include <QSettings>
#include <stdexcept>

namespace {

// Opened anew for each load and store, so another running copy's changes are seen.
#ifdef Q_OS_WIN
constexpr QSettings::Format FormatoArmazem = QSettings::NativeFormat;
#else
constexpr QSettings::Format FormatoArmazem = QSettings::IniFormat;
#endif

QString Chave(const QString &Nome) {
    return QStringLiteral("Config/") + Nome;
}

std::runtime_error Erro(const char *Formato, const QString &Nome) {
    return std::runtime_error(QString::fromUtf8(Formato).arg(Nome).toStdString());
}

// Focus moves inside the window; activation changes of the window and popups coming and going
// are not a move to or from another control.
bool DeOutroControle(Qt::FocusReason Razao) {
    return Razao != Qt::ActiveWindowFocusReason && Razao != Qt::PopupFocusReason &&
           Razao != Qt::MenuBarFocusReason;
}

} // namespace

std::unique_ptr<QSettings> AbrirArmazem(const QString &AppName) {
    return std::make_unique<QSettings>(FormatoArmazem, QSettings::UserScope,
                                       QStringLiteral("ZELNA'S Software"), AppName);
}

TSaveEdit::TSaveEdit(QWidget *AOwner)
    : QLineEdit(AOwner), FAppName(NomeAplicacao(QCoreApplication::applicationFilePath())) {
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &TSaveEdit::GuardarSeEmFoco);
}

QString TSaveEdit::NomeAplicacao(const QString &CaminhoExecutavel) {
    const QString nome = QFileInfo(CaminhoExecutavel).fileName();
    return nome.left(nome.indexOf(u'.')); // left(-1) is the whole name
}

void TSaveEdit::LoadValue() {
    const std::unique_ptr<QSettings> armazem = AbrirArmazem(FAppName);
    if (armazem->status() != QSettings::NoError)
        return; // the store cannot be read: the text stays, nothing is reported
    const QVariant valor = armazem->value(Chave(objectName()));
    if (valor.isValid() && valor.typeId() != QMetaType::QString)
        throw Erro("Invalid data type for '%1'", objectName());
    const QString texto = valor.toString();
    setText(texto.left(texto.indexOf(QChar(0))));
}

void TSaveEdit::SaveValue() {
    const std::unique_ptr<QSettings> armazem = AbrirArmazem(FAppName);
    if (armazem->status() != QSettings::NoError)
        return; // an unreadable store is not overwritten
    armazem->setValue(Chave(objectName()), text());
    armazem->sync();
    if (armazem->status() != QSettings::NoError)
        throw Erro("Failed to set data for '%1'", objectName());
}

template <typename F> void TSaveEdit::Relatar(F &&Acao) {
    if (FAvisos) {
        Proteger(*FAvisos, std::forward<F>(Acao));
    } else {
        TAvisosQt avisos(window());
        Proteger(avisos, std::forward<F>(Acao));
    }
}

// Qt creates no native control per widget; the first showing is the field's realisation.
void TSaveEdit::showEvent(QShowEvent *Evento) {
    QLineEdit::showEvent(Evento);
    if (!FRealizado) {
        FRealizado = true;
        window()->installEventFilter(this);
        Relatar([this] { LoadValue(); });
    }
}

void TSaveEdit::focusInEvent(QFocusEvent *Evento) {
    if (FSaveOnExit && DeOutroControle(Evento->reason()))
        Relatar([this] { LoadValue(); });
    QLineEdit::focusInEvent(Evento);
}

void TSaveEdit::focusOutEvent(QFocusEvent *Evento) {
    if (FSaveOnExit && DeOutroControle(Evento->reason()))
        Relatar([this] { SaveValue(); });
    QLineEdit::focusOutEvent(Evento);
}

// The window hiding with the field focused: the focus never moves to another control, so
// focus exit alone would lose what was typed.
bool TSaveEdit::eventFilter(QObject *Objeto, QEvent *Evento) {
    if (Objeto == window() && Evento->type() == QEvent::Hide)
        GuardarSeEmFoco();
    return QLineEdit::eventFilter(Objeto, Evento);
}

void TSaveEdit::GuardarSeEmFoco() {
    if (FSaveOnExit && FRealizado && window()->focusWidget() == this)
        Relatar([this] { SaveValue(); });
}
