#pragma once
// A map that keeps at most Limite keys: touching a key makes it the most recent, and a new key
// beyond the limit pushes out the least recently touched one. Memory stays bounded whatever
// keys arrive.
#include <QHash>
#include <cstddef>
#include <list>
#include <utility>

template <typename Chave, typename Valor> class TRecentes {
public:
    explicit TRecentes(std::size_t Limite) : FLimite(Limite) {}

    // The value of Chave, made the most recent; a new key starts as Valor{} and may push the
    // least recent one out.
    Valor &Tocar(const Chave &C) {
        const auto i = FIndice.find(C);
        if (i != FIndice.end()) {
            FOrdem.splice(FOrdem.begin(), FOrdem, i.value());
            return FOrdem.front().second;
        }
        if (FOrdem.size() >= FLimite) {
            FIndice.remove(FOrdem.back().first);
            FOrdem.pop_back();
        }
        FOrdem.emplace_front(C, Valor{});
        FIndice.insert(C, FOrdem.begin());
        return FOrdem.front().second;
    }
    std::size_t Tamanho() const { return FOrdem.size(); }
    // Most recent first.
    auto begin() const { return FOrdem.begin(); }
    auto end() const { return FOrdem.end(); }

private:
    using Lista = std::list<std::pair<Chave, Valor>>;
    std::size_t FLimite;
    Lista FOrdem;
    QHash<Chave, typename Lista::iterator> FIndice;
};
