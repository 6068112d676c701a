#include "ServicoTerminal.h"

#include "Cp1252.h"
#include "ErroBanco.h"
#include "Formato.h"
#include "UComum.h"
#include "uDados.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <climits>
#include <stdexcept>

namespace {

// A fixed-width library buffer filled with spaces, with a NUL beyond its width so that a
// library writing one terminator too many cannot run past it.
class TBuffer {
public:
    explicit TBuffer(int Largura) : FLargura(Largura), FBytes(Largura + 1, ' ') {
        FBytes[Largura] = '\0';
    }
    char *Dados() { return FBytes.data(); }
    // What stands before the first NUL byte, or the whole buffer.
    QString Texto() const {
        const QByteArray corpo = FBytes.left(FLargura);
        const qsizetype nulo = corpo.indexOf('\0');
        return DeCp1252(nulo < 0 ? corpo : corpo.left(nulo));
    }

private:
    int FLargura;
    QByteArray FBytes;
};

// S, the selected terminal as single-byte text: what the library receives and what the
// messages show. Empty when the selection is blank: the action then does nothing.
QByteArray TextoTerminal(const QLineEdit *Selecao) {
    const QString texto = Selecao->text();
    return Trim(texto).isEmpty() ? QByteArray() : ParaCp1252(texto);
}

// Empty text goes to the library as a null pointer.
const char *TextoOuNulo(const QByteArray &Bytes) {
    return Bytes.isEmpty() ? nullptr : Bytes.constData();
}

// Characters that a locale's money text may hold without a Windows-1252 byte, as the byte that
// looks like them; invisible marks go away. Digits of other scripts become Latin digits, with the
// Latin separators in place of those that go with them.
QString SemelhantesCp1252(const QString &Texto) {
    QString r;
    for (const char32_t c : Texto.toUcs4()) // digits outside the BMP too (Chakma)
        switch (c) {
        case 0x00A0: // no-break space
        case 0x2007: // figure space
        case 0x2009: // thin space
        case 0x202F: // narrow no-break space
            r += u' ';
            break;
        case 0x2010: // hyphen
        case 0x2011: // non-breaking hyphen
        case 0x2012: // figure dash
        case 0x2212: // minus sign
            r += u'-';
            break;
        case 0x066B: // Arabic decimal separator
            r += u'.';
            break;
        case 0x066C: // Arabic thousands separator
        case 0x2E41: // reversed comma (Adlam)
            r += u',';
            break;
        case 0x200B: // zero width space
        case 0x200E: // left-to-right mark
        case 0x200F: // right-to-left mark
        case 0x061C: // Arabic letter mark
        case 0x2060: // word joiner
            break;
        default:
            if (QChar::isDigit(c))
                r += QChar(u'0' + QChar::digitValue(c));
            else
                r += QStringView(QChar::fromUcs4(c));
        }
    return r;
}

bool temBytes(const QString &texto) {
    return DeCp1252(ParaCp1252(texto)) == texto;
}

// Private use: where the locale's pattern puts the currency sign.
constexpr QChar marcaMoeda(0xE000);

// The cents (a magnitude) as the locale writes a number with two decimals, exactly: through a
// double the cents of the largest prices would be lost.
QString numeroLocal(const QLocale &localDado, uint64_t centavos, bool grupos) {
    QLocale local = localDado;
    if (!grupos)
        local.setNumberOptions(local.numberOptions() | QLocale::OmitGroupSeparator);
    const int resto = int(centavos % 100);
    return local.toString(qulonglong(centavos / 100)) + local.decimalPoint() +
           (resto < 10 ? local.zeroDigit() : QString()) + local.toString(resto);
}

// The locale's currency pattern for a value of that sign, holding numero and moeda. The pattern
// is Qt's own for 1 or -1, whose number is then replaced.
QString padraoMoeda(const QLocale &local, bool negativo, const QString &numero,
                    const QString &moeda, bool codigoIso) {
    QString texto = local.toCurrencyString(qlonglong(negativo ? -1 : 1), QString(marcaMoeda));
    const QString menosUm = local.toString(qlonglong(-1)), um = local.toString(qlonglong(1));
    // A locale without a negative pattern writes -1 with its minus inside the positive one.
    if (const qsizetype i = negativo ? texto.indexOf(menosUm) : -1; i >= 0)
        texto.replace(i, menosUm.size(), local.negativeSign() + numero);
    else if (const qsizetype j = texto.indexOf(um); j >= 0)
        texto.replace(j, um.size(), numero);
    const qsizetype m = texto.indexOf(marcaMoeda);
    if (m < 0)
        return texto;
    texto.replace(m, 1, moeda);
    // A code of letters does not touch the digits ("JPY 1,234", not "JPY1,234").
    if (codigoIso && !moeda.isEmpty()) {
        const qsizetype depois = m + moeda.size();
        if (depois < texto.size() && texto[depois].isDigit())
            texto.insert(depois, u' ');
        else if (m > 0 && texto[m - 1].isDigit())
            texto.insert(m, u' ');
    }
    return texto;
}

// Nobody watching.
class TObservadorNulo : public TObservadorServico {
    void ServidorMudou(bool) override {}
    void TerminalConectado(const QString &) override {}
    void TerminalDesconectado(const QString &) override {}
    void Leitura(const TLeitura &) override {}
    void CadastroAberto(int, const QString &) override {}
    void CadastroListado(int) override {}
    void CadastroSalvo(bool, int, const QString &) override {}
};

TObservadorServico &ninguem() {
    static TObservadorNulo nulo;
    return nulo;
}

} // namespace

QByteArray Centralizar(const QString &Texto, int Largura) {
    // Columns are characters: a character outside the BMP is one byte ('?') on the terminal.
    const qsizetype margem = Largura / 2 - Texto.toUcs4().size() / 2;
    const QString centrado =
        margem > 0 ? Espacos(int(margem)) + Texto + Espacos(int(margem)) : Texto;
    return ParaCp1252(centrado).left(Largura);
}

QByteArray LinhaDescricao(const QString &Descricao) {
    // A line break or an escape from the database must not reach the terminal's display.
    QString texto = Descricao;
    for (QChar &c : texto)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return texto.toUcs4().size() < LURMA_LINE ? Centralizar(texto, LURMA_LINE) : ParaCp1252(texto);
}

std::optional<QString> TextoPreco(int64_t Preco, int Largura) {
    int64_t centavos = Preco / 100;
    const int64_t resto = Preco % 100;
    if (resto >= 50)
        ++centavos;
    else if (resto <= -50)
        --centavos;
    const bool negativo = centavos < 0;
    const uint64_t magnitude = negativo ? 0 - uint64_t(centavos) : uint64_t(centavos);
    const QLocale local;
    QString moeda = local.currencySymbol();
    const bool codigoIso = moeda.isEmpty() || !temBytes(SemelhantesCp1252(moeda));
    if (codigoIso)
        moeda = local.currencySymbol(QLocale::CurrencyIsoCode);
    // Never cut: what carries no digit goes first, then the grouping. Each form is made only
    // when the one before it does not fit.
    const struct {
        bool grupos, sinal, brancos;
    } formas[] = {
        {true, true, true}, {true, true, false}, {true, false, false}, {false, false, false}};
    for (const auto &f : formas) {
        QString t =
            SemelhantesCp1252(padraoMoeda(local, negativo, numeroLocal(local, magnitude, f.grupos),
                                          f.sinal ? moeda : QString(), codigoIso));
        if (!f.brancos)
            t.remove(u' ');
        if (t.toUcs4().size() <= Largura)
            return t;
    }
    return std::nullopt;
}

QString TextoHora(const QTime &Hora) {
    const QString sep = SeparadorHora(QLocale().timeFormat(QLocale::ShortFormat));
    const auto dois = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return dois(Hora.hour()) + sep + dois(Hora.minute()) + sep + dois(Hora.second());
}

TServicoTerminal::TServicoTerminal(TDependencias Dependencias, QWidget *Janela)
    : FLurma(std::move(Dependencias.Lurma)), FAvisos(std::move(Dependencias.Avisos)),
      FRelogio(std::move(Dependencias.Relogio)), FPorta(Janela),
      FPrazoConsulta(Dependencias.PrazoConsulta),
      FObservador(Dependencias.Observador ? Dependencias.Observador : &ninguem()) {
    if (!FAvisos)
        FAvisos = std::make_shared<TAvisosQt>(Janela);
    if (!FRelogio)
        FRelogio = [] { return QTime::currentTime(); };
    // Lookups are mostly waiting for the database: a few more workers than cores.
    FConsultas = std::make_unique<TConsultas>(
        [this](const TConsultas::Resultado &R) { Proteger(*FAvisos, [&] { Responder(R); }); },
        [this](uint32_t Endereco, const QString &Codigo) {
            Proteger(*FAvisos, [&] { Atrasada(Endereco, Codigo); });
        },
        FPrazoConsulta, 4,
        [this](uint32_t Endereco, const QString &Codigo) { Substituida(Endereco, Codigo); },
        Dependencias.BaseAberta);
}

TServicoTerminal::~TServicoTerminal() {
    if (FBibliotecaAtiva)
        TerminarBiblioteca();
}

void TServicoTerminal::LigarCampos(const TCamposTerminal &Campos) {
    FCampos = Campos;
    // Strangers that connect and leave for ever must not grow the logs without bound.
    for (QPlainTextEdit *log : {FCampos.MemConexao, FCampos.Memo3})
        log->setMaximumBlockCount(1000);
    QObject::connect(FCampos.EditDatabase, &QLineEdit::textChanged, FCampos.EditDatabase,
                     [this](const QString &Caminho) { FConsultas->CaminhoMudou(Caminho); });
}

const TIntQS62K &TServicoTerminal::Lurma() {
    if (!FLurma)
        FLurma = CarregarIntQS62K(QCoreApplication::applicationDirPath());
    return *FLurma;
}

void TServicoTerminal::TerminarBiblioteca() {
    FConsultas->Abandonar();
    Lurma().bTerminate();
    FBibliotecaAtiva = false;
}

void TServicoTerminal::BtnIniciarClick() {
    if (Tag == 0) {
        if (!Lurma().bInitialize(FPorta.Porta()))
            return;
        FBibliotecaAtiva = true;
        uint32_t numero = 0;
        Lurma().vGetMsgWinReceiveDataTC(&numero);
        FNotificacao = numero;
        FCampos.BtnIniciar->setText(QStringLiteral("Parar Servidor"));
        FCampos.StatusPainel1->setText(QStringLiteral("Servidor Inicializado"));
        Tag = 1;
        FObservador->ServidorMudou(true);
    } else {
        TerminarBiblioteca();
        FCampos.BtnIniciar->setText(QStringLiteral("Iniciar Servidor"));
        FCampos.StatusPainel1->clear();
        Tag = 0;
        LimparCampos(true);
        FObservador->ServidorMudou(false);
    }
}

void TServicoTerminal::LimparCampos(bool Tudo) {
    for (QLineEdit *campo :
         {FCampos.txtTerminal, FCampos.txtServidor, FCampos.txtNetmask, FCampos.txtExibicao,
          FCampos.txtLinha1, FCampos.txtLinha2, FCampos.txtLinha3, FCampos.txtLinha4})
        campo->clear();
    if (Tudo) {
        FCampos.txtTerminalSelecionado->clear();
        const QSignalBlocker semSelecao(FCampos.listTerminais); // not the operator's selection
        FCampos.listTerminais->clear();
        FCampos.MemConexao->clear();
    }
}

void TServicoTerminal::WndProc(uint32_t Mensagem) {
    if (!FNotificacao || Mensagem != *FNotificacao)
        return;
    uint32_t endereco = 0;
    if (Lurma().bConnect(&endereco)) {
        Conexao(endereco);
    } else if (Lurma().bDisconnect(&endereco)) {
        Desconexao(endereco);
    } else {
        TBuffer codigo(LURMA_BARCODE);
        if (Lurma().bReceiveBarcode(&endereco, codigo.Dados()))
            CodigoDeBarras(endereco, codigo.Texto());
    }
}

QString TServicoTerminal::RegistrarEvento(QPlainTextEdit *Log, uint32_t Endereco) {
    TBuffer texto(LURMA_ADDRESS_TEXT);
    Lurma().Inet_NtoA(Endereco, texto.Dados());
    const uint32_t valor = Lurma().Inet_Addr(texto.Dados());
    Log->appendPlainText(TextoHora(FRelogio()) + QStringLiteral(" -> IP: ") + texto.Texto());
    Log->appendPlainText(QStringLiteral("               -> IP (htonl): ") + QString::number(valor));
    return texto.Texto();
}

void TServicoTerminal::Conexao(uint32_t Endereco) {
    const QString texto = RegistrarEvento(FCampos.MemConexao, Endereco);
    FCampos.listTerminais->addItem(texto);
    FObservador->TerminalConectado(texto);
}

void TServicoTerminal::Desconexao(uint32_t Endereco) {
    const QString texto = Trim(RegistrarEvento(FCampos.Memo3, Endereco));
    FCampos.txtTerminalSelecionado->clear();
    QListWidget *lista = FCampos.listTerminais;
    const QSignalBlocker semSelecao(lista); // not the operator's selection
    QList<QListWidgetItem *> escolhidas = lista->selectedItems();
    for (int i = lista->count() - 1; i >= 0; --i)
        if (Trim(lista->item(i)->text()) == texto) {
            escolhidas.removeOne(lista->item(i));
            delete lista->takeItem(i);
        }
    // Removing the current entry selects the one that becomes current, which nobody chose.
    for (QListWidgetItem *item : lista->selectedItems())
        if (!escolhidas.contains(item))
            item->setSelected(false);
    FObservador->TerminalDesconectado(texto);
}

QString TServicoTerminal::TextoEndereco(uint32_t Endereco) {
    TBuffer texto(LURMA_ADDRESS_TEXT);
    Lurma().Inet_NtoA(Endereco, texto.Dados());
    return texto.Texto();
}

// The lookup runs on a worker; the reply goes out from here when it comes back.
void TServicoTerminal::CodigoDeBarras(uint32_t Endereco, const QString &Codigo) {
    FCampos.lblCodigo->setText(Codigo);
    FCampos.lblCodeTerminal->setText(TextoEndereco(Endereco));
    FConsultas->Pedir(Endereco, FCampos.EditDatabase->text(), Codigo);
}

void TServicoTerminal::Responder(const TConsultas::Resultado &R) {
    const auto duracao = std::chrono::steady_clock::now() - R.Inicio;
    TLeitura leitura{
        TextoEndereco(R.Endereco), R.Codigo, TResultadoLeitura::Erro, QString(), duracao, false};
    if (R.Erro) {
        try {
            std::rethrow_exception(R.Erro);
        } catch (const ErroBanco &e) {
            if (e.ValorGrandeDemais())
                leitura.Resultado = TResultadoLeitura::Longo;
        } catch (...) {
        }
        leitura.Mostrado = TextoDoErro(R.Erro);
        FObservador->Leitura(leitura);
        Falhou(R.Endereco, R.Codigo, leitura.Mostrado);
        return;
    }
    if (const QString volta = FFalhas.Respondeu(); !volta.isEmpty())
        RegistrarErro(volta);
    uint32_t endereco = R.Endereco;
    const TProduto &produto = *R.Produto;
    bool enviada;
    if (produto.Encontrado) {
        const QByteArray descricao = LinhaDescricao(produto.Descricao);
        const std::optional<QString> preco = TextoPreco(produto.Preco);
        if (!preco) {
            const QString inteiro = *TextoPreco(produto.Preco, INT_MAX);
            RegistrarErro(
                QStringLiteral("O preço %1 do código %2 do terminal %3 não cabe nas %4 "
                               "colunas do terminal; ele recebeu a resposta de produto "
                               "não encontrado.")
                    .arg(inteiro, Trim(R.Codigo), leitura.Terminal, QString::number(LURMA_LINE)));
            enviada = Lurma().bSendProdNotFound(&endereco);
            leitura.Resultado = TResultadoLeitura::NaoEncontrado;
            leitura.Mostrado =
                QStringLiteral("não encontrado (o preço %1 não cabe no terminal)").arg(inteiro);
        } else {
            const QByteArray linhaPreco = Centralizar(*preco, LURMA_LINE);
            enviada = Lurma().bSendProdPriceQV62K(&endereco, descricao.constData(),
                                                  linhaPreco.constData());
            leitura.Resultado = TResultadoLeitura::Encontrado;
            leitura.Mostrado =
                Trim(DeCp1252(descricao)) + QStringLiteral(" | ") + Trim(DeCp1252(linhaPreco));
        }
    } else {
        enviada = Lurma().bSendProdNotFound(&endereco);
        leitura.Resultado = TResultadoLeitura::NaoEncontrado;
        leitura.Mostrado = QStringLiteral("não encontrado");
    }
    leitura.Enviada = enviada;
    FObservador->Leitura(leitura);
    if (!enviada)
        ++FRespostasNaoEnviadas;
}

void TServicoTerminal::Atrasada(uint32_t Endereco, const QString &Codigo) {
    const QString causa =
        QStringLiteral("o banco de dados não respondeu em %1 s; o terminal ficou sem resposta.")
            .arg(double(FPrazoConsulta.count()) / 1000.0);
    FObservador->Leitura(
        {TextoEndereco(Endereco), Codigo, TResultadoLeitura::Prazo, causa, FPrazoConsulta, false});
    Falhou(Endereco, Codigo, causa);
}

// Names the scan: with lookups in parallel the labels may already show a later one.
void TServicoTerminal::Falhou(uint32_t Endereco, const QString &Codigo, const QString &Causa) {
    if (FFalhas.Falhou(Causa))
        throw std::runtime_error(QStringLiteral("Erro na consulta do código %1 do terminal %2: %3")
                                     .arg(Trim(Codigo), TextoEndereco(Endereco), Causa)
                                     .toStdString());
}

void TServicoTerminal::Substituida(uint32_t Endereco, const QString &Codigo) {
    FObservador->Leitura({TextoEndereco(Endereco), Codigo, TResultadoLeitura::Substituida,
                          QStringLiteral("substituída por uma leitura mais nova do terminal"),
                          std::chrono::nanoseconds(0), false});
}

void TServicoTerminal::listTerminaisClick() {
    const QListWidgetItem *item = FCampos.listTerminais->currentItem();
    if (item && item->isSelected())
        FCampos.txtTerminalSelecionado->setText(item->text());
}

void TServicoTerminal::Avisar(const QString &Texto, bool Sucesso) {
    FAvisos->Mostrar(Texto, Titulo, Sucesso ? QMessageBox::Information : QMessageBox::Critical,
                     QMessageBox::Ok);
}

void TServicoTerminal::btnDesconectarClick() {
    const QByteArray s = TextoTerminal(FCampos.txtTerminalSelecionado);
    if (s.isEmpty())
        return;
    uint32_t endereco = Lurma().Inet_Addr(s.constData());
    if (Lurma().CloseTerminal(&endereco))
        Avisar(
            QStringLiteral("O Terminal de IP (%1) foi desconectado com sucesso.").arg(DeCp1252(s)),
            true);
    else
        Avisar(QStringLiteral("Erro, o Terminal de IP (%1) não está conectado ou não existe.")
                   .arg(DeCp1252(s)),
               false);
}

void TServicoTerminal::btnCapturarClick() {
    const QByteArray s = TextoTerminal(FCampos.txtTerminalSelecionado);
    if (s.isEmpty())
        return;
    TBuffer ip(LURMA_IP), servidor(LURMA_IP), mascara(LURMA_IP), exibicao(LURMA_DISPLAY);
    TBuffer linha1(LURMA_LINE), linha2(LURMA_LINE), linha3(LURMA_LINE), linha4(LURMA_LINE);
    if (Lurma().GetConfigurationNew(s.constData(), ip.Dados(), servidor.Dados(), mascara.Dados(),
                                    linha1.Dados(), linha2.Dados(), linha3.Dados(), linha4.Dados(),
                                    exibicao.Dados(), 0, 0, 0, 0, 0)) {
        FCampos.txtTerminal->setText(ip.Texto());
        FCampos.txtServidor->setText(servidor.Texto());
        FCampos.txtNetmask->setText(mascara.Texto());
        FCampos.txtExibicao->setText(exibicao.Texto());
        FCampos.txtLinha1->setText(Trim(linha1.Texto()));
        FCampos.txtLinha2->setText(Trim(linha2.Texto()));
        FCampos.txtLinha3->setText(Trim(linha3.Texto()));
        FCampos.txtLinha4->setText(Trim(linha4.Texto()));
        Avisar(QStringLiteral("Captura dos dados do Terminal de IP (%1) realizada com sucesso.")
                   .arg(DeCp1252(s)),
               true);
    } else {
        Avisar(QStringLiteral("Erro ao capturar os dados do Terminal de IP : %1.").arg(DeCp1252(s)),
               false);
        LimparCampos(false);
    }
}

void TServicoTerminal::btnEnviarClick() {
    const QByteArray s = TextoTerminal(FCampos.txtTerminalSelecionado);
    if (s.isEmpty())
        return;
    const auto bytes = [](QLineEdit *campo) { return ParaCp1252(campo->text()); };
    const auto linha = [](QLineEdit *campo) {
        return Centralizar(Trim(campo->text()), LURMA_LINE);
    };
    const QByteArray ip = bytes(FCampos.txtTerminal), servidor = bytes(FCampos.txtServidor),
                     mascara = bytes(FCampos.txtNetmask), exibicao = bytes(FCampos.txtExibicao);
    const QByteArray linha1 = linha(FCampos.txtLinha1), linha2 = linha(FCampos.txtLinha2),
                     linha3 = linha(FCampos.txtLinha3), linha4 = linha(FCampos.txtLinha4);
    if (Lurma().SendConfiguration(s.constData(), TextoOuNulo(ip), TextoOuNulo(servidor),
                                  TextoOuNulo(mascara), linha1.constData(), linha2.constData(),
                                  linha3.constData(), linha4.constData(), TextoOuNulo(exibicao)))
        Avisar(QStringLiteral("Configuração enviada com sucesso para o Terminal de IP: %1.")
                   .arg(DeCp1252(s)),
               true);
    else
        Avisar(QStringLiteral("Erro ao enviar a Configuração para o Terminal de IP: %1.")
                   .arg(DeCp1252(s)),
               false);
}
