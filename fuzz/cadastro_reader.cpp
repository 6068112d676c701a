// libFuzzer harness for the Cadastro.xml reader: any bytes either load or fail with the
// table's error, never crash; and what the writer makes of a loaded table loads again.
#include "ArquivoCadastro.h"
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *dados, size_t tamanho) {
    const QByteArray pacote(reinterpret_cast<const char *>(dados), qsizetype(tamanho));
    TTabela tabela;
    try {
        LerPacote(pacote, tabela);
    } catch (const ErroTabela &) {
        return 0;
    }
    TTabela relida;
    LerPacote(EscreverPacote(tabela), relida); // an error here escapes: a finding
    return 0;
}
