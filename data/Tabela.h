#pragma once
// TTabela: the in-memory product register (Produtos). Field definitions and fields, rows of
// Valor with their states, the change log and changed mark that Cadastro.xml carries, the
// current row and a sort for the grid, and the file the table is saved to when it closes.
// No widgets here: a Qt model reads it through the visible-row accessors and an observer.
#include "ErroTabela.h"
#include "Valor.h"
#include <QLocale>
#include <QString>
#include <cstdint>
#include <vector>

enum class TipoCampo {
    TextoLargo, // wide text, size in characters
    Texto,      // single-byte (Windows-1252) text, size in bytes
    Inteiro16,
    Inteiro32,
    Inteiro64,
    Flutuante,    // 64-bit IEEE; may be marked as money
    Decimal,      // size = number of decimals (1 to 4 from a listing)
    DecimalLongo, // size = number of decimals (above 4 from a listing)
    Data,
    Hora,
    DataHora,
    Booleano,
    Blob, // bytes, size 8
};

struct TDefinicaoCampo {
    QString nome;
    TipoCampo tipo = TipoCampo::TextoLargo;
    int tamanho = 0;
    bool requerido = false;
    bool moeda = false; // floating fields only
    bool operator==(const TDefinicaoCampo &) const = default;
};

struct TCampo {
    QString titulo;  // defaults to the field's name
    QString formato; // display format; empty means plain
    bool somenteLeitura = false;
    bool dados = true; // data field (not calculated)
};

// Row states as the file records them.
enum : int { EstadoInalterado = 0, EstadoApagado = 2, EstadoInserido = 4 };
inline bool EhApagado(int estado) {
    return (estado & EstadoApagado) != 0;
}

struct TLinha {
    std::vector<Valor> valores; // one per field
    int estado = EstadoInalterado;
    bool operator==(const TLinha &) const = default;
};

// One change: (record number, 0, kind 4 inserted / 2 deleted).
struct TEntradaLog {
    uint32_t registro = 0;
    uint32_t zero = 0;
    uint32_t tipo = 0;
    bool operator==(const TEntradaLog &) const = default;
};

// Told about changes so a view can refresh. inicioMudanca/fimMudanca bracket every change of
// fields or rows (a model's beginResetModel/endResetModel); while display updates are
// suspended the bracket stays open until they resume, so a bulk copy costs one refresh.
class TObservadorTabela {
public:
    virtual ~TObservadorTabela() = default;
    virtual void InicioMudanca() {}
    virtual void FimMudanca() {}
    virtual void LinhaAtualMudou() {}
};

class TTabela {
public:
    explicit TTabela(QString nome = QStringLiteral("Produtos"));
    ~TTabela(); // closes, with the save decision; a failed save is dropped here
    TTabela(const TTabela &) = delete;
    TTabela &operator=(const TTabela &) = delete;

    const QString &Nome() const { return FNome; }

    // Field definitions; changed only while the table is closed.
    void AdicionarCampo(const TDefinicaoCampo &definicao); // ErroTabela on a bad definition
    // ErroTabela unless every definition is sound and the names are distinct.
    static void ValidarDefinicoes(const std::vector<TDefinicaoCampo> &definicoes);
    void RemoverCampos();
    int ContarCampos() const { return int(FDefinicoes.size()); }
    const TDefinicaoCampo &Definicao(int campo) const { return FDefinicoes.at(campo); }
    const TCampo &Campo(int campo) const { return FCampos.at(campo); }
    void DefinirCampo(int campo, const TCampo &valor); // title, format, flags
    int IndiceCampo(const QString &nome) const;        // letter case ignored; -1 when absent

    // Life cycle.
    bool Aberta() const { return FAberta; }
    void CriarDataSet(); // open, empty, with the current fields; change log empty, mark clear
    void Abrir();        // from the file when its name is set and it exists, else CriarDataSet
    void Fechar();       // SalvarAlteracoes, then closes; ErroTabela if the save fails
    // When open with a file name: writes the file if the table changed since it was opened or
    // last written, or the file is missing; the changed mark is then clear.
    void SalvarAlteracoes();
    // Whether SalvarAlteracoes would write: open, a file name, and changed or no file there.
    bool SalvamentoPendente() const;
    void Esvaziar();     // removes every row; fields and titles stay; marks changed
    // Clears the changed mark: what the table holds now is not to replace the file.
    void EsquecerAlteracoes() { FAlterada = false; }
    // Exchanges fields, rows, change log, changed mark, sort and current row with Outra (a
    // table built elsewhere, e.g. by a listing on a worker); the names, the file name and the
    // observers stay with each table.
    void TrocarConteudo(TTabela &Outra);
    void SaveToFile(const QString &caminho) const;
    void LoadFromFile(const QString &caminho); // replaces fields, rows and log; opens
    QString NomeArquivo;

    // Rows. Adicionar stores the values by the field kinds (see ConverterValor).
    void Adicionar(std::vector<Valor> valores);
    void ApagarAtual(); // state gets 2 added, change log (n, 0, 2); no-op without a row
    bool Alterada() const { return FAlterada; }

    // Visible (not deleted) rows in sort order.
    int ContarLinhas() const;
    const Valor &ValorEm(int linha, int campo) const;
    int NumeroRegistro(int linha) const; // record number (1-based) of a visible row
    QString TextoExibido(int linha, int campo, const QLocale &local) const;
    int LinhaAtual() const { return FAtual; } // -1 when there are no visible rows
    void IrPara(int linha);
    void Primeiro() { IrPara(0); }

    // Stable ascending sort by one field; NULLs come first. -1: order of addition.
    void OrdenarPor(int campo);
    int CampoOrdem() const { return FCampoOrdem; }

    // Display updates; calls nest.
    void DesabilitarControles();
    void HabilitarControles();
    void DefinirObservador(TObservadorTabela *observador) { FObservador = observador; }

    // Stored rows by record number, deleted ones included, and the change log: for the file.
    const std::vector<TLinha> &LinhasGuardadas() const { return FLinhas; }
    const std::vector<TEntradaLog> &Log() const { return FLog; }
    // Opens the table holding exactly these fields, rows and log, changed mark clear.
    void Restaurar(std::vector<TDefinicaoCampo> definicoes, std::vector<TLinha> linhas,
                   std::vector<TEntradaLog> log);

private:
    void inicioMudanca();
    void fimMudanca();
    void avisarLinhaAtual();
    void refazerVisiveis() const;
    void descartarDados();

    QString FNome;
    std::vector<TDefinicaoCampo> FDefinicoes;
    std::vector<TCampo> FCampos;
    std::vector<TLinha> FLinhas;
    std::vector<TEntradaLog> FLog;
    bool FAberta = false;
    bool FAlterada = false;
    int FCampoOrdem = -1;
    int FAtual = -1;
    mutable std::vector<int> FVisiveis; // indexes into FLinhas
    mutable bool FVisiveisSujos = false;
    int FSuspensao = 0;
    bool FMudancaAberta = false;
    TObservadorTabela *FObservador = nullptr;
};

// The stored form of a value for a field: text cut and blanks removed for single-byte text,
// decimals rescaled to exactly the field's size, wide/single-byte text converted between each
// other, numbers widened, date-times as plain wall-clock values. ErroTabela when the value
// cannot be held by the field.
// Takes the value by value so that one already in its stored form is moved, not copied.
Valor ConverterValor(Valor valor, const TDefinicaoCampo &definicao);
