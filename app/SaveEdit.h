#pragma once
// TSaveEdit: a one-line text field that remembers its text per user. The text is kept in
// QSettings (the registry on Windows, an INI file elsewhere) under
// "ZELNA'S Software"/<application name>, group "Config", named after the field's objectName().
// Stored when the focus goes to another control, and also when the window hides (closing
// fades it out and hides it) or the program ends while the field holds the focus, so that a
// path typed and left there is not lost.
#include <QLineEdit>
#include <QSettings>
#include <QString>
#include <memory>

class TAvisos;

// The per-user store of the application AppName: the registry key
// HKEY_CURRENT_USER\SOFTWARE\ZELNA'S Software\<AppName> on Windows, an INI file elsewhere.
std::unique_ptr<QSettings> AbrirArmazem(const QString &AppName);

class TSaveEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(bool SaveOnExit MEMBER FSaveOnExit)
public:
    explicit TSaveEdit(QWidget *AOwner = nullptr);

    // The executable's file name without directory, cut before its first "."; case unchanged.
    static QString NomeAplicacao(const QString &CaminhoExecutavel);
    const QString &AppName() const { return FAppName; }

    // Where errors of loading and storing are reported; null: real message boxes.
    void DefinirAvisos(TAvisos *Avisos) { FAvisos = Avisos; }

    // Both raise std::runtime_error with the operator's text on failure.
    void LoadValue();
    void SaveValue();

protected:
    void showEvent(QShowEvent *Evento) override;
    void focusInEvent(QFocusEvent *Evento) override;
    void focusOutEvent(QFocusEvent *Evento) override;
    bool eventFilter(QObject *Objeto, QEvent *Evento) override;

private:
    template <typename F> void Relatar(F &&Acao);
    void GuardarSeEmFoco();

    bool FSaveOnExit = true;
    QString FAppName;
    bool FRealizado = false;
    TAvisos *FAvisos = nullptr;
};
