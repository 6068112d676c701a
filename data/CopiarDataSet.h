#pragma once
// Copying a database result into the register table, and the titles and number formats of
// its columns.
#include "Origem.h"
#include "Tabela.h"
#include <optional>

// The field a column becomes: kind and size by its Firebird type and the database's dialect,
// required from NOT NULL. None for arrays and types the table cannot hold.
std::optional<TDefinicaoCampo> DefinicaoDe(const CampoOrigem &campo, int dialeto);

void CopiarDataSet(Origem &Origem, TTabela &Destino, bool CriarDataSet);
// Closes Destino (which may save its file) and gives it the fields of Origem; a column whose
// name is already defined is skipped. "Error Message: <field>" when a field cannot be defined.
void CopiarEstrutura(Origem &Origem, TTabela &Destino, bool CriarDataSet);
void CopiarDados(Origem &Origem, TTabela &Destino);
void AjustarCampos(TTabela &Tabela);
void FormatarCamposNumericos(TTabela &Tabela);
QString TraduzirTitulo(const QString &Texto);
