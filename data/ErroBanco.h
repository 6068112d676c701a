#pragma once
// The one database error: Firebird's SQL code, its error code (the first status code), the
// client library's message text, and whether a character could not be carried between two
// character sets (a text that the attachment's character set lacks).
#include <QString>
#include <cstdint>
#include <stdexcept>

class ErroBanco : public std::runtime_error {
public:
    ErroBanco(int64_t sqlCode, int64_t codigo, const QString &mensagem,
              bool transliteracao = false)
        : std::runtime_error(mensagem.toStdString()), FSqlCode(sqlCode), FCodigo(codigo),
          FMensagem(mensagem), FTransliteracao(transliteracao) {}
    int64_t SqlCode() const { return FSqlCode; }
    int64_t Codigo() const { return FCodigo; }
    const QString &Mensagem() const { return FMensagem; }
    bool Transliteracao() const { return FTransliteracao; }
    // Firebird's arithmetic exception (isc_arith_except): a value too large for its column,
    // such as a code too long for CODIGO.
    bool ValorGrandeDemais() const { return FCodigo == 335544321; }

private:
    int64_t FSqlCode;
    int64_t FCodigo;
    QString FMensagem;
    bool FTransliteracao;
};
