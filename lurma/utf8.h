// Windows-1252, the terminals' single-byte text, to and from the UTF-8 of a console.
#ifndef LURMA_UTF8_H
#define LURMA_UTF8_H

#include <string>

namespace lurma {

// Every byte maps to one character; the five unassigned bytes map to the C1 controls of
// the same number, so nothing is lost.
std::string cp1252ToUtf8(const std::string &bytes);

// The same for a console line: control characters (C0, DEL and the C1 ones) as \xHH and the
// backslash as \\, so that text from the network can neither split a line nor drive the console.
std::string cp1252ToConsole(const std::string &bytes);

// Characters outside Windows-1252 and malformed UTF-8 (overlong forms, surrogates, cut or
// stray bytes) become '?', one for each byte that does not start a valid character.
std::string utf8ToCp1252(const std::string &text);

} // namespace lurma

#endif
