#pragma once
#include <QString>

// Where Cadastro.xml is read and written: beside the executable when this user can write that
// folder (a copy unpacked in a folder of its own), otherwise the user's data folder
// (QStandardPaths::AppDataLocation, created here), as for a program installed by root.
QString PastaDoCadastro(const QString &PastaExecutavel);
