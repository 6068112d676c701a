#pragma once
// The program's visual style: a Qt style sheet carried in the resources as
// ":/estilos/<name>.qss", applied over Fusion to all windows.
#include <QString>

class QApplication;
class TAvisos;

// Applies the style Nome; when the resources hold none of that name, shows
// "Style '<Nome>' not found" with the error icon (also in the error log) and returns false:
// start-up goes on plain.
bool AplicarEstilo(QApplication &Aplicacao, TAvisos &Avisos, const QString &Nome);
