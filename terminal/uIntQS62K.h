#pragma once
// The terminal library's thirteen functions as a table, so that the program loads them by name
// from pqtLurma beside the executable and tests fill the table with fakes.
#include "pqtLurma.h"
#include <QString>

struct TIntQS62K {
    decltype(&::bInitialize) bInitialize = nullptr;
    decltype(&::vGetMsgWinReceiveDataTC) vGetMsgWinReceiveDataTC = nullptr;
    decltype(&::bTerminate) bTerminate = nullptr;
    decltype(&::bConnect) bConnect = nullptr;
    decltype(&::bDisconnect) bDisconnect = nullptr;
    decltype(&::bReceiveBarcode) bReceiveBarcode = nullptr;
    decltype(&::Inet_NtoA) Inet_NtoA = nullptr;
    decltype(&::Inet_Addr) Inet_Addr = nullptr;
    decltype(&::CloseTerminal) CloseTerminal = nullptr;
    decltype(&::bSendProdPriceQV62K) bSendProdPriceQV62K = nullptr;
    decltype(&::bSendProdNotFound) bSendProdNotFound = nullptr;
    decltype(&::GetConfigurationNew) GetConfigurationNew = nullptr;
    decltype(&::SendConfiguration) SendConfiguration = nullptr;
};

// Loads pqtLurma from Pasta and resolves every function. Throws std::runtime_error naming the
// file when the library or one of its functions is missing.
TIntQS62K CarregarIntQS62K(const QString &Pasta);
