#pragma once
// The one database error: Firebird's SQL code, its error code (the first status code) and the
// client library's message text.
#include <QString>
#include <cstdint>
#include <stdexcept>

class ErroBanco : public std::runtime_error {
public:
    ErroBanco(int64_t sqlCode, int64_t codigo, const QString &mensagem)
        : std::runtime_error(mensagem.toStdString()), FSqlCode(sqlCode), FCodigo(codigo),
          FMensagem(mensagem) {}
    int64_t SqlCode() const { return FSqlCode; }
    int64_t Codigo() const { return FCodigo; }
    const QString &Mensagem() const { return FMensagem; }

private:
    int64_t FSqlCode;
    int64_t FCodigo;
    QString FMensagem;
};
