// Pictures of the main window's two pages and of the about box, for docs/ (run under Xvfb by
// scripts/screenshot-pages.sh). The terminal library is the test fake, driven to show a few events.
#include "ArquivoCadastro.h"
#include "Estilo.h"
#include "Falsos.h"
#include "RegistroTeste.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Shows each box without a modal loop and photographs it.
class AvisosFotografados : public TAvisos {
public:
    explicit AvisosFotografados(QString Arquivo) : FArquivo(std::move(Arquivo)) {}
    QMessageBox::StandardButton Mostrar(const QString &Texto, const QString &Titulo,
                                        QMessageBox::Icon Icone,
                                        QMessageBox::StandardButtons Botoes) override {
        QMessageBox caixa(Icone, Titulo, Texto, Botoes);
        caixa.show();
        QApplication::processEvents();
        caixa.grab().save(FArquivo);
        return QMessageBox::Ok;
    }

private:
    QString FArquivo;
};

void gravarCadastro(const QString &Caminho) {
    TTabela t;
    definirCamposDaListagem(t);
    t.CriarDataSet();
    const struct {
        const char *codigo, *descricao;
        int64_t promocao, preco;
    } itens[] = {{"7891000100103", "CAFE TORRADO 500G", 0, 1590},
                 {"7891000315507", "ARROZ TIPO 1 5KG", 2290, 2490},
                 {"7891910000197", "ACUCAR CRISTAL 1KG", 0, 479},
                 {"7896004000015", "FEIJAO CARIOCA 1KG", 0, 899},
                 {"7896036090244", "OLEO DE SOJA 900ML", 699, 749},
                 {"7898080640017", "LEITE INTEGRAL 1L", 0, 529}};
    for (const auto &i : itens)
        t.Adicionar({QString(i.codigo), QString(i.descricao),
                     i.promocao ? Valor(Decimal{i.promocao, 2}) : Valor{}, Decimal{i.preco, 2}});
    SalvarCadastro(t, Caminho);
}

} // namespace

int main(int argc, char **argv) {
    QApplication aplicacao(argc, argv);
    const QString destino = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON-256.png")));
    auto avisos = std::make_shared<AvisosFotografados>(destino + "/sobre.png");
    AplicarEstilo(aplicacao, *avisos, QStringLiteral("Amakrits"));

    QTemporaryDir pasta;
    gravarCadastro(pasta.filePath("Cadastro.xml"));
    LurmaFalsa lurma;
    TOpcoesJanela opcoes;
    opcoes.PastaCadastro = pasta.path();
    TfrmPrincipal janela(TDependencias{lurma.Tabela(), avisos, {}}, nullptr, opcoes);
    janela.show();
    QApplication::processEvents();
    janela.TimerInit.stop(); // no automatic hide while the pictures are taken

    janela.findChild<QPushButton *>("BtnIniciar")->click();
    for (const char *endereco : {"192.168.0.21", "192.168.0.22", "192.168.0.23"})
        lurma.conectar(endereco);
    lurma.desconectar("192.168.0.22");
    lurma.codigo("192.168.0.21", "7891000100103");
    for (size_t n = lurma.eventos.size(); n > 0; --n)
        lurma.notificar();
    QApplication::sendPostedEvents();
    QApplication::processEvents();

    auto *paginas = janela.findChild<QTabWidget *>("PageControl1");
    janela.grab().save(destino + "/pagina-principal.png");
    paginas->setCurrentIndex(1);
    QApplication::processEvents();
    janela.grab().save(destino + "/pagina-cadastro.png");
    janela.Sobre1Click();
    return 0;
}
