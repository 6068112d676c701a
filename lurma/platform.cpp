#include "platform.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace lurma {

#ifdef _WIN32

std::vector<std::string> utf8Arguments(int, char **) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(size > 0 ? size - 1 : 0, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

#else

std::vector<std::string> utf8Arguments(int argc, char **argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void useUtf8Console() {}

#endif

} // namespace lurma
