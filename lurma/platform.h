// What the simulated terminal does differently on Windows: its command line and console speak
// UTF-8 there too.
#ifndef LURMA_PLATFORM_H
#define LURMA_PLATFORM_H

#include <string>
#include <vector>

namespace lurma {

// The program's arguments in UTF-8. On Windows argv holds them in the ANSI code page, where a
// character it lacks is already a '?', so they are read again from the wide command line.
std::vector<std::string> utf8Arguments(int argc, char **argv);

// Makes the console read and write UTF-8 (Windows); nothing elsewhere.
void useUtf8Console();

} // namespace lurma

#endif
