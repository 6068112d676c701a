#pragma once
// The snapshot as the JSON of /api/estado, which the page reads. Off the user-interface thread.
#include "EstadoPainel.h"

#include <QByteArray>

// Orders the snapshot's lists (Ordenar) and writes them, times as local ISO 8601 text.
QByteArray EstadoJson(TInstantaneo I);
