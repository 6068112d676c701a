#include "utf8.h"

#include "Cp1252Tabela.h"

namespace lurma {
namespace {

void appendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The smallest code point that needs each length; anything below it is an overlong form,
// which would let a byte such as 'A' pass in disguise.
constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};

} // namespace

std::string cp1252ToUtf8(const std::string &bytes) {
    std::string out;
    for (char byte : bytes)
        appendUtf8(out, cp1252::Caracteres[static_cast<unsigned char>(byte)]);
    return out;
}

std::string cp1252ToConsole(const std::string &bytes) {
    std::string out;
    for (char byte : bytes) {
        const char32_t c = cp1252::Caracteres[static_cast<unsigned char>(byte)];
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            static const char hex[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(byte);
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xF];
        } else if (c == u'\\') {
            out += "\\\\";
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::string utf8ToCp1252(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80    ? 1
                             : lead >= 0xF8 ? 0
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC0 ? 2
                                            : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        valid = valid && c >= kShortest[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        int byte = valid ? cp1252::Byte(c) : -1;
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += valid ? length : 1;
    }
    return out;
}

} // namespace lurma
