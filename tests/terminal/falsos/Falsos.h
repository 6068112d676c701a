#pragma once
// Fakes at the terminal service's seams: the terminal library's table and the message boxes.
#include "Avisos.h"
#include "uIntQS62K.h"

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// A scripted terminal library. Function pointers cannot capture, so the table's functions act
// on the one instance alive at the time.
class LurmaFalsa {
public:
    LurmaFalsa();
    ~LurmaFalsa();
    TIntQS62K Tabela() const;

    enum class Tipo { Conexao, Desconexao, Codigo };
    struct Evento {
        Tipo tipo;
        std::string endereco; // dotted
        std::string codigo;   // bytes written into the barcode buffer (a NUL follows if shorter)
    };

    // Behaviour.
    bool iniciar = true;
    uint32_t numero = 0xC0DE;
    std::deque<Evento> eventos; // the queries take the head when it is of their kind
    bool fechar = true, capturar = true, enviar = true;
    bool responder = true; // what the two reply functions return
    // Written into GetConfigurationNew's buffers: ip, server ip, netmask, lines 1-4, display.
    std::array<std::string, 8> configuracao;

    // What the server did.
    std::vector<std::string> chamadas; // function names in order
    LurmaWindowPort *porta = nullptr;
    struct Resposta {
        std::string endereco;
        std::optional<std::string> descricao, preco; // empty optional: not-found reply
    };
    std::vector<Resposta> respostas;
    std::vector<std::string> inetAddr; // texts handed to Inet_Addr
    std::vector<std::string> fechados; // addresses handed to CloseTerminal, dotted
    std::string terminalCapturado;
    std::array<std::optional<std::string>, 9> envio; // SendConfiguration's arguments

    void conectar(const std::string &endereco) { eventos.push_back({Tipo::Conexao, endereco, {}}); }
    void desconectar(const std::string &endereco) {
        eventos.push_back({Tipo::Desconexao, endereco, {}});
    }
    void codigo(const std::string &endereco, const std::string &codigo) {
        eventos.push_back({Tipo::Codigo, endereco, codigo});
    }
    // Posts one notification through the window port, as the library's thread does.
    void notificar() const { porta->postMessage(porta->context, numero); }
};

// Records every box and answers with `resposta`.
class AvisosGravados : public TAvisos {
public:
    struct Aviso {
        QString texto, titulo;
        QMessageBox::Icon icone;
        QMessageBox::StandardButtons botoes;
    };
    std::vector<Aviso> avisos;
    QMessageBox::StandardButton resposta = QMessageBox::Ok;

    QMessageBox::StandardButton Mostrar(const QString &Texto, const QString &Titulo,
                                        QMessageBox::Icon Icone,
                                        QMessageBox::StandardButtons Botoes) override {
        avisos.push_back({Texto, Titulo, Icone, Botoes});
        return resposta;
    }
};
