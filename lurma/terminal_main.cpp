// lurma-terminal, the simulated price-check terminal: scan, idle, load, or interactive.
#include "platform.h"
#include "utf8.h"
#include "terminal_client.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace lurma;
using std::chrono::milliseconds;

constexpr int kConnected = 0, kUsage = 1, kNotConnected = 2;

const char *const kUsageText =
    "usage: lurma-terminal [--server HOST:PORT] [--address A.B.C.D] [--timeout MS] COMMAND\n"
    "  scan CODE...      send each code, print PRICE|description|price|, NOTFOUND| or "
    "NOREPLY|\n"
    "  idle [--ip X] [--server-ip X] [--netmask X] [--display X] [--line1 X] .. [--line4 X]\n"
    "                    stay connected, print CONFIG|...| and CLOSED| until SIGINT/SIGTERM\n"
    "  load --terminals N --scans M --codes FILE\n"
    "                    N terminals from A.B.C.D upwards, each scanning M codes of FILE\n"
    "  (no command)      interactive: type codes at the prompt, see the 2 x 20 display\n";

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> named;

    std::string get(const std::string &name, const std::string &fallback) const {
        auto found = named.find(name);
        return found == named.end() ? fallback : found->second;
    }
};

[[noreturn]] void usage(const std::string &problem) {
    std::fprintf(stderr, "lurma-terminal: %s\n%s", problem.c_str(), kUsageText);
    std::exit(kUsage);
}

const std::set<std::string> kOptionNames = {"server",  "address",   "timeout", "ip",    "server-ip",
                                            "netmask", "display",   "line1",   "line2", "line3",
                                            "line4",   "terminals", "scans",   "codes"};

Options parse(const std::vector<std::string> &args) {
    Options options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsageText, stdout);
            std::exit(0);
        }
        if (arg.rfind("--", 0) == 0) {
            if (!kOptionNames.contains(arg.substr(2)))
                usage("unknown option " + arg);
            if (i + 1 >= args.size())
                usage(arg + " needs a value");
            options.named[arg.substr(2)] = args[++i];
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

long number(const Options &options, const std::string &name, long fallback, long low, long high) {
    std::string text = options.get(name, std::to_string(fallback));
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || value < low || value > high)
        usage("--" + name + " must be a number from " + std::to_string(low) + " to " +
              std::to_string(high));
    return value;
}

asio::ip::tcp::endpoint serverEndpoint(asio::io_context &io, const Options &options) {
    std::string server = options.get("server", "127.0.0.1:6550");
    auto colon = server.rfind(':');
    if (colon == std::string::npos)
        usage("--server must be HOST:PORT");
    asio::error_code error;
    asio::ip::tcp::resolver resolver(io);
    auto results = resolver.resolve(asio::ip::tcp::v4(), server.substr(0, colon),
                                    server.substr(colon + 1), error);
    if (error || results.empty())
        usage("cannot resolve " + server);
    return *results.begin();
}

asio::ip::address_v4 localAddress(const Options &options) {
    asio::error_code error;
    auto address = asio::ip::make_address_v4(options.get("address", "127.0.0.2"), error);
    if (error)
        usage("--address must be A.B.C.D");
    return address;
}

// The terminal's own settings, which a capture reads and a send replaces; given in UTF-8.
Configuration settings(const Options &options, const asio::ip::tcp::endpoint &server,
                       asio::ip::address_v4 local) {
    const std::array<std::pair<const char *, std::string>, 8> fields = {{
        {"ip", local.to_string()},
        {"server-ip", server.address().to_string()},
        {"netmask", "255.0.0.0"},
        {"line1", "Consulte o preço"},
        {"line2", "aqui"},
        {"line3", "Produto não"},
        {"line4", "cadastrado"},
        {"display", "05"},
    }};
    Configuration configuration;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        configuration[i] = utf8ToCp1252(options.get(fields[i].first, fields[i].second));
        if (configuration[i].size() > kFieldWidths[i])
            usage(std::string("--") + fields[i].first + " is longer than " +
                  std::to_string(kFieldWidths[i]) + " characters");
    }
    return configuration;
}

// What the protocol carries: 1 to 64 bytes, no control characters.
bool isBarcode(const std::string &code) {
    return encode(Barcode{0, code}).has_value();
}

std::string replyLine(const std::optional<Reply> &reply) {
    if (!reply)
        return "NOREPLY|";
    if (auto *price = std::get_if<PriceReply>(&*reply))
        return "PRICE|" + cp1252ToConsole(price->description) + "|" + cp1252ToConsole(price->price) +
               "|";
    return "NOTFOUND|";
}

void printLine(const std::string &line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

struct Context {
    asio::io_context io;
    Options options;
    asio::ip::tcp::endpoint server;
    asio::ip::address_v4 local;
    milliseconds timeout{5000};
    int exitCode = kNotConnected;
};

asio::awaitable<void> scanMode(Context &context) {
    if (context.options.positional.empty())
        usage("scan needs at least one code");
    for (const std::string &code : context.options.positional)
        if (!isBarcode(utf8ToCp1252(code)))
            usage("\"" + code + "\" is not a barcode: 1 to 64 characters, no control ones");
    auto client = std::make_shared<TerminalClient>(
        context.io, context.local, settings(context.options, context.server, context.local));
    if (!co_await client->connect(context.server, context.timeout))
        co_return;
    context.exitCode = kConnected;
    for (const std::string &code : context.options.positional)
        printLine(replyLine(co_await client->scan(utf8ToCp1252(code), context.timeout)));
    client->close();
}

std::string configLine(const Configuration &configuration) {
    std::string line = "CONFIG|";
    for (const std::string &field : configuration)
        line += cp1252ToConsole(field) + "|";
    return line;
}

asio::awaitable<void> idleMode(Context &context) {
    // Signals are caught before connecting, so a stop right after the connection is clean.
    asio::signal_set signals(context.io, SIGINT, SIGTERM);
    auto client = std::make_shared<TerminalClient>(
        context.io, context.local, settings(context.options, context.server, context.local));
    if (!co_await client->connect(context.server, context.timeout))
        co_return;
    context.exitCode = kConnected;
    client->onConfiguration = [](const Configuration &c) { printLine(configLine(c)); };
    client->onClosed = [&signals] {
        printLine("CLOSED|");
        signals.cancel();
    };
    client->onLost = [&signals] {
        std::fprintf(stderr, "lurma-terminal: the server ended the connection\n");
        signals.cancel();
    };
    asio::error_code ignored;
    co_await signals.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
    client->close();
}

struct LoadResult {
    int connected = 0, failed = 0, price = 0, notFound = 0, noReply = 0;
    std::vector<long long> latencies; // microseconds
};

asio::awaitable<void> loadTerminal(Context &context, asio::ip::address_v4 local,
                                   const std::vector<std::string> &codes, long scans,
                                   std::size_t first, LoadResult &result) {
    auto client = std::make_shared<TerminalClient>(
        context.io, local, settings(context.options, context.server, local));
    if (!co_await client->connect(context.server, context.timeout)) {
        ++result.failed;
        co_return;
    }
    ++result.connected;
    for (long i = 0; i < scans && client->connected(); ++i) {
        auto start = std::chrono::steady_clock::now();
        std::optional<Reply> reply =
            co_await client->scan(codes[(first + i) % codes.size()], context.timeout);
        auto elapsed = std::chrono::steady_clock::now() - start;
        if (!reply) {
            ++result.noReply;
            continue;
        }
        std::holds_alternative<PriceReply>(*reply) ? ++result.price : ++result.notFound;
        result.latencies.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
    }
    client->close();
}

long long percentile(std::vector<long long> &sorted, double fraction) {
    if (sorted.empty())
        return 0;
    auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

void loadMode(Context &context) {
    long terminals = number(context.options, "terminals", 1, 1, 65000);
    long scans = number(context.options, "scans", 1, 0, 100000000);
    std::ifstream file(context.options.get("codes", ""));
    if (!file)
        usage("load needs --codes FILE, one code per line");
    std::vector<std::string> codes;
    int lineNumber = 0;
    for (std::string line; std::getline(file, line);) {
        ++lineNumber;
        line.erase(line.find_last_not_of(" \r\t") + 1);
        if (line.empty())
            continue;
        if (!isBarcode(line))
            usage("line " + std::to_string(lineNumber) + " of the codes file is not a barcode");
        codes.push_back(line);
    }
    if (codes.empty())
        usage("the codes file has no code");
    LoadResult result;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < terminals; ++i) {
        asio::ip::address_v4 local(context.local.to_uint() + static_cast<std::uint32_t>(i));
        asio::co_spawn(
            context.io,
            loadTerminal(context, local, codes, scans, static_cast<std::size_t>(i), result),
            asio::detached);
    }
    context.io.run();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sort(result.latencies.begin(), result.latencies.end());
    std::printf("terminals=%ld\nconnected=%d\nfailed=%d\nscans=%zu\nprice=%d\nnotfound=%d\n"
                "noreply=%d\nseconds=%.3f\nreplies_per_second=%.1f\n"
                "latency_us_median=%lld\nlatency_us_p90=%lld\nlatency_us_p99=%lld\n"
                "latency_us_max=%lld\n",
                terminals, result.connected, result.failed,
                result.latencies.size() + static_cast<std::size_t>(result.noReply), result.price,
                result.notFound, result.noReply, seconds,
                static_cast<double>(result.latencies.size()) / seconds,
                percentile(result.latencies, 0.5), percentile(result.latencies, 0.9),
                percentile(result.latencies, 0.99),
                result.latencies.empty() ? 0LL : result.latencies.back());
    context.exitCode = result.failed == 0 ? kConnected : kNotConnected;
}

void drawDisplay(const std::string &top, const std::string &bottom) {
    auto row = [](const std::string &bytes) {
        std::string cut = bytes.substr(0, 20);
        cut.resize(20, ' ');
        return "|" + cp1252ToConsole(cut) + "|\n";
    };
    std::string border = "+--------------------+\n";
    std::fputs((border + row(top) + row(bottom) + border).c_str(), stdout);
    std::fflush(stdout);
}

void prompt() {
    std::fputs("code> ", stdout);
    std::fflush(stdout);
}

// Codes come from a reader thread so the terminal keeps answering the server meanwhile.
asio::awaitable<void> interactiveMode(Context &context) {
    auto client = std::make_shared<TerminalClient>(
        context.io, context.local, settings(context.options, context.server, context.local));
    if (!co_await client->connect(context.server, context.timeout))
        co_return;
    context.exitCode = kConnected;
    std::printf("Connected from %s. Type a barcode and Enter to look it up; an empty line "
                "shows the idle messages; q or Ctrl-D quits.\n",
                context.local.to_string().c_str());
    auto idle = [client] { drawDisplay(client->settings()[3], client->settings()[4]); };
    idle();
    prompt();
    client->onConfiguration = [idle](const Configuration &) {
        std::printf("\n(new configuration received)\n");
        idle();
        prompt();
    };
    client->onClosed = [&context] {
        std::printf("\nThe server closed this terminal.\n");
        context.io.stop();
    };
    client->onLost = [&context] {
        std::printf("\nThe server ended the connection.\n");
        context.io.stop();
    };
    std::thread([&context, client, idle] {
        for (std::string line; std::getline(std::cin, line);) {
            line.erase(line.find_last_not_of(" \r\t") + 1);
            if (line == "q")
                break;
            // One code at a time: the next line is read once this one's reply is shown.
            auto shown = std::make_shared<std::promise<void>>();
            asio::co_spawn(
                context.io,
                [&context, client, idle, line, shown]() -> asio::awaitable<void> {
                    if (line.empty()) {
                        idle();
                    } else if (!isBarcode(utf8ToCp1252(line))) {
                        std::printf("Not a barcode: 1 to 64 characters, no control ones.\n");
                    } else {
                        auto reply = co_await client->scan(utf8ToCp1252(line), context.timeout);
                        if (!reply)
                            drawDisplay("(no reply)", "");
                        else if (auto *price = std::get_if<PriceReply>(&*reply))
                            drawDisplay(price->description, price->price);
                        else
                            drawDisplay(client->settings()[5], client->settings()[6]);
                    }
                    prompt();
                    shown->set_value();
                },
                asio::detached);
            shown->get_future().wait();
        }
        asio::post(context.io, [&context, client] {
            client->close();
            context.io.stop();
        });
    }).detach();
}

} // namespace

int main(int argc, char **argv) {
    Context context;
    useUtf8Console();
    context.options = parse(utf8Arguments(argc, argv));
    context.server = serverEndpoint(context.io, context.options);
    context.local = localAddress(context.options);
    context.timeout = milliseconds(number(context.options, "timeout", 5000, 1, 3600000));
    const std::string &command = context.options.command;
    if (command == "load") {
        loadMode(context);
        return context.exitCode;
    }
    if (command == "scan")
        asio::co_spawn(context.io, scanMode(context), asio::detached);
    else if (command == "idle")
        asio::co_spawn(context.io, idleMode(context), asio::detached);
    else if (command.empty())
        asio::co_spawn(context.io, interactiveMode(context), asio::detached);
    else
        usage("unknown command " + command);
    context.io.run();
    return context.exitCode;
}
