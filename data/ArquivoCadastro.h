#pragma once
// Cadastro.xml: the register table as an XML data packet on one line. The writer produces
// the packet byte for byte; the reader takes it back, and also the forms other writers of
// the format use (line breaks, other attribute orders, references, a UTF-8 file). Every
// failure is an ErroTabela with the text the operator sees.
#include "Tabela.h"
#include <QByteArray>
#include <QString>
#include <string>

QByteArray EscreverPacote(const TTabela &tabela);
// Replaces the table's fields, rows and change log and opens it; the table is left
// untouched when the packet is refused.
void LerPacote(const QByteArray &pacote, TTabela &tabela);

// The "r8" form: 16 significant digits; "5.e-002" below 0.1 and from 1e16 up.
std::string FormatoFlutuante(double valor);

// Writes the packet's bytes through a temporary file in the same directory, flushed to disk
// and renamed over the old one, so a failure or a kill at any point leaves the previous file
// whole; "Cannot create file" when no temporary file can be made there.
void SalvarCadastro(const TTabela &tabela, const QString &caminho);
void CarregarCadastro(TTabela &tabela, const QString &caminho);
