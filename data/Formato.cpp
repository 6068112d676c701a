#include "Formato.h"
#include "../text/Cp1252.h"
#include "DecimalTexto.h"
#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The value as plain decimal digits ("-12.5"), exactly; empty for non-numbers.
std::string digitosDe(const Valor &valor) {
    if (auto d = std::get_if<Decimal>(&valor))
        return escreverDecimal(*d);
    if (auto i = std::get_if<int64_t>(&valor))
        return std::to_string(*i);
    if (auto f = std::get_if<double>(&valor)) {
        char buffer[400]; // the longest fixed form of a double is about 330 characters
        auto r = std::to_chars(buffer, buffer + sizeof buffer, *f, std::chars_format::fixed);
        return std::string(buffer, r.ptr);
    }
    return {};
}

// Adds one unit in the last place of a digit string.
void incrementar(std::string &digitos) {
    for (size_t i = digitos.size(); i-- > 0;) {
        if (digitos[i] != '9') {
            ++digitos[i];
            return;
        }
        digitos[i] = '0';
    }
    digitos.insert(0, 1, '1');
}

// Where a date or time format's hours end and its minutes begin and end (-1: absent); quoted
// text is literal.
struct THorasMinutos {
    qsizetype fimHoras = -1, inicioMinutos = -1, fimMinutos = -1;
};

THorasMinutos HorasMinutos(const QString &Formato) {
    const auto hora = [](QChar c) { return c == u'h' || c == u'H'; };
    THorasMinutos r;
    bool citado = false;
    for (qsizetype i = 0; i < Formato.size(); ++i) {
        const QChar c = Formato[i];
        if (c == u'\'')
            citado = !citado;
        if (citado || c == u'\'')
            continue;
        if (r.fimHoras < 0 && hora(c)) {
            while (i + 1 < Formato.size() && hora(Formato[i + 1]))
                ++i;
            r.fimHoras = i + 1;
        } else if (r.fimHoras >= 0 && c == u'm') {
            r.inicioMinutos = i;
            while (i + 1 < Formato.size() && Formato[i + 1] == u'm')
                ++i;
            r.fimMinutos = i + 1;
            break;
        }
    }
    return r;
}

// A date-time format with the seconds after its minutes.
QString ComSegundos(const QString &Formato) {
    const THorasMinutos p = HorasMinutos(Formato);
    if (p.fimMinutos < 0)
        return Formato;
    return Formato.left(p.fimMinutos) + u'\'' + SeparadorHora(Formato) + QStringLiteral("'ss") +
           Formato.mid(p.fimMinutos);
}

} // namespace

QString SeparadorHora(const QString &FormatoHora) {
    const THorasMinutos p = HorasMinutos(FormatoHora);
    if (p.inicioMinutos < 0)
        return QStringLiteral(":");
    const QString separador =
        FormatoHora.mid(p.fimHoras, p.inicioMinutos - p.fimHoras).remove(u'\'');
    const bool letras =
        std::any_of(separador.begin(), separador.end(), [](QChar c) { return c.isLetter(); });
    return separador.isEmpty() || letras ? QStringLiteral(":") : separador;
}

QString FormatarNumero(const Valor &valor, const QString &formato, const QLocale &local) {
    if (auto f = std::get_if<double>(&valor); f && !std::isfinite(*f))
        return local.toString(*f);
    std::string texto = digitosDe(valor);
    if (texto.empty())
        return {};
    const bool negativo = texto[0] == '-';
    if (negativo)
        texto.erase(0, 1);
    const size_t ponto = texto.find('.');
    std::string inteiro = texto.substr(0, ponto);
    std::string fracao = ponto == std::string::npos ? std::string() : texto.substr(ponto + 1);

    const qsizetype pontoFormato = formato.indexOf(u'.');
    const size_t decimais = pontoFormato < 0 ? 0 : size_t(formato.size() - pontoFormato - 1);
    const bool arredondarParaCima = fracao.size() > decimais && fracao[decimais] >= '5';
    fracao.resize(decimais, '0');
    std::string todos = inteiro + fracao;
    if (arredondarParaCima)
        incrementar(todos);
    inteiro = todos.substr(0, todos.size() - decimais);
    fracao = todos.substr(todos.size() - decimais);
    inteiro.erase(0, std::min(inteiro.find_first_not_of('0'), inteiro.size() - 1));

    QString resultado;
    const bool agrupar = formato.contains(u',');
    for (size_t i = 0; i < inteiro.size(); ++i) {
        if (agrupar && i > 0 && (inteiro.size() - i) % 3 == 0)
            resultado += local.groupSeparator();
        resultado += QLatin1Char(inteiro[i]);
    }
    if (decimais > 0)
        resultado += local.decimalPoint() + QString::fromLatin1(fracao);
    if (negativo && todos.find_first_not_of('0') != std::string::npos)
        resultado.prepend(local.negativeSign());
    return resultado;
}

QString TextoExibicao(const Valor &valor, const TDefinicaoCampo &definicao, const QString &formato,
                      const QLocale &local) {
    struct Visitante {
        const TDefinicaoCampo &definicao;
        const QLocale &local;
        QString operator()(std::monostate) const { return {}; }
        QString operator()(const QString &v) const { return v; }
        QString operator()(const QByteArray &v) const {
            return definicao.tipo == TipoCampo::Blob ? QStringLiteral("(BLOB)") : DeCp1252(v);
        }
        QString operator()(int64_t v) const { return QString::number(v); }
        QString operator()(double v) const {
            return local.toString(v, 'g', QLocale::FloatingPointShortest);
        }
        QString operator()(const Decimal &v) const {
            return QString::fromStdString(escreverDecimal(v)).replace(u'.', local.decimalPoint());
        }
        QString operator()(const QDate &v) const { return local.toString(v, QLocale::ShortFormat); }
        QString operator()(const QTime &v) const { return v.toString(QStringLiteral("HH:mm:ss")); }
        QString operator()(const QDateTime &v) const {
            const QString formato = local.dateTimeFormat(QLocale::ShortFormat);
            return local.toString(v, v.time().second() == 0 ? formato : ComSegundos(formato));
        }
        QString operator()(bool v) const {
            return v ? QStringLiteral("True") : QStringLiteral("False");
        }
    };
    const bool numero = std::holds_alternative<Decimal>(valor) ||
                        std::holds_alternative<double>(valor) ||
                        std::holds_alternative<int64_t>(valor);
    if (numero && !formato.isEmpty())
        return FormatarNumero(valor, formato, local);
    return std::visit(Visitante{definicao, local}, valor);
}
