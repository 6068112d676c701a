#pragma once
// The error of the register table and its file: loading, saving, defining fields. Its text
// is the message the default error report shows.
#include <QString>
#include <stdexcept>

class ErroTabela : public std::runtime_error {
public:
    explicit ErroTabela(const QString &mensagem) : std::runtime_error(mensagem.toStdString()) {}
    QString Mensagem() const { return QString::fromStdString(what()); }
};
