// Scan-to-reply latency through the terminal library, against a reference measured in the
// same run: a bare server that answers every barcode on its network thread at once. The ratio
// is the price of the library's queue, its notification and the hop to the caller's thread.
//
// bench_lurma_load [TERMINALS [SCANS]]   (defaults 20 and 500)
#include "pqtLurma.h"
#include "frame_reader.h"

#include <asio.hpp>

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace lurma;
const std::filesystem::path kBin = std::filesystem::read_symlink("/proc/self/exe").parent_path();

// Runs lurma-terminal load and returns its key=value lines.
std::map<std::string, double> load(std::uint16_t port, int terminals, int scans,
                                   const std::string &codes) {
    std::string command = (kBin / "lurma-terminal").string() +
                          " --server 127.0.0.1:" + std::to_string(port) + " load --terminals " +
                          std::to_string(terminals) + " --scans " + std::to_string(scans) +
                          " --codes " + codes;
    std::map<std::string, double> figures;
    FILE *out = popen(command.c_str(), "r");
    char line[256];
    while (out && std::fgets(line, sizeof line, out)) {
        std::string text(line);
        auto equals = text.find('=');
        if (equals != std::string::npos)
            figures[text.substr(0, equals)] = std::stod(text.substr(equals + 1));
    }
    if (out)
        pclose(out);
    return figures;
}

asio::awaitable<void> referenceTerminal(asio::ip::tcp::socket socket) {
    FrameReader reader(Sender::Terminal);
    const auto welcome = *encode(Welcome{kProtocolVersion, 15000});
    try {
        for (;;) {
            auto message = co_await reader.next(socket);
            if (!message)
                co_return;
            if (std::holds_alternative<Hello>(*message))
                co_await asio::async_write(socket, asio::buffer(welcome), asio::use_awaitable);
            else if (auto *barcode = std::get_if<Barcode>(&*message)) {
                const auto notFound = *encode(NotFoundReply{barcode->scan});
                co_await asio::async_write(socket, asio::buffer(notFound), asio::use_awaitable);
            }
        }
    } catch (const std::system_error &) {
    }
}

asio::awaitable<void> referenceServer(asio::ip::tcp::acceptor &acceptor) {
    for (;;) {
        auto socket = co_await acceptor.async_accept(asio::use_awaitable);
        socket.set_option(asio::ip::tcp::no_delay(true));
        asio::co_spawn(acceptor.get_executor(), referenceTerminal(std::move(socket)),
                       asio::detached);
    }
}

std::map<std::string, double> runReference(int terminals, int scans, const std::string &codes) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address_v4("127.0.0.1"), 0});
    asio::co_spawn(io, referenceServer(acceptor), asio::detached);
    std::thread network([&io] { io.run(); });
    auto figures = load(acceptor.local_endpoint().port(), terminals, scans, codes);
    io.stop();
    network.join();
    return figures;
}

// The caller's UI thread: waits for notifications and answers every barcode at once.
struct Window {
    std::mutex mutex;
    std::condition_variable posted;
    std::size_t pending = 0;
};

std::map<std::string, double> runLibrary(int terminals, int scans, const std::string &codes) {
    void *library = dlopen((kBin / "libpqtLurma.so").c_str(), RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "bench_lurma_load: %s\n", dlerror());
        std::exit(1);
    }
    LurmaFunctions lurma;
#define LOAD(name) lurma.name = reinterpret_cast<decltype(lurma.name)>(dlsym(library, #name));
    PQTLURMA_FUNCTIONS(LOAD)
#undef LOAD

    asio::io_context probe;
    asio::ip::tcp::acceptor free(probe, {asio::ip::make_address_v4("127.0.0.1"), 0});
    std::uint16_t port = free.local_endpoint().port();
    free.close();
    setenv("LURMA_BIND", "127.0.0.1", 1);
    setenv("LURMA_PORT", std::to_string(port).c_str(), 1);

    Window window;
    LurmaWindowPort windowPort{&window, [](void *, const char *) { return 0xC000u; },
                               [](void *context, std::uint32_t) {
                                   auto *w = static_cast<Window *>(context);
                                   {
                                       std::lock_guard lock(w->mutex);
                                       ++w->pending;
                                   }
                                   w->posted.notify_one();
                               }};
    std::atomic<bool> started = false, done = false, failed = false;
    std::thread ui([&] {
        if (!lurma.bInitialize(&windowPort)) {
            failed = true;
            started = true;
            return;
        }
        started = true;
        while (!done) {
            {
                std::unique_lock lock(window.mutex);
                if (!window.posted.wait_for(lock, std::chrono::milliseconds(50),
                                            [&] { return window.pending > 0; }))
                    continue;
                --window.pending;
            }
            std::uint32_t address = 0;
            char code[LURMA_BARCODE];
            if (!lurma.bConnect(&address) && !lurma.bDisconnect(&address) &&
                lurma.bReceiveBarcode(&address, code))
                lurma.bSendProdNotFound(&address);
        }
        lurma.bTerminate();
    });
    while (!started)
        std::this_thread::yield();
    std::map<std::string, double> figures;
    if (!failed)
        figures = load(port, terminals, scans, codes);
    done = true;
    ui.join();
    return figures;
}

void print(const char *name, std::map<std::string, double> &figures) {
    std::printf("%-10s connected=%.0f replies=%.0f noreply=%.0f replies_per_s=%.0f "
                "median_us=%.0f p90_us=%.0f p99_us=%.0f max_us=%.0f\n",
                name, figures["connected"], figures["notfound"] + figures["price"],
                figures["noreply"], figures["replies_per_second"], figures["latency_us_median"],
                figures["latency_us_p90"], figures["latency_us_p99"], figures["latency_us_max"]);
}

} // namespace

int main(int argc, char **argv) {
    int terminals = argc > 1 ? std::atoi(argv[1]) : 20;
    int scans = argc > 2 ? std::atoi(argv[2]) : 500;
    auto codes =
        std::filesystem::temp_directory_path() / ("bench-lurma-codes-" + std::to_string(getpid()));
    std::ofstream(codes) << "7891000100103\n7891000053508\n123\n";

    auto reference = runReference(terminals, scans, codes.string());
    auto library = runLibrary(terminals, scans, codes.string());
    std::filesystem::remove(codes);

    std::printf("%d terminals x %d scans each, every barcode answered not-found at once\n",
                terminals, scans);
    print("reference", reference);
    print("library", library);
    auto ratio = [&](const char *key) {
        return reference[key] > 0 ? library[key] / reference[key] : 0.0;
    };
    std::printf("ratio library/reference: median=%.2f p99=%.2f throughput=%.2f\n",
                ratio("latency_us_median"), ratio("latency_us_p99"), ratio("replies_per_second"));
    return library["connected"] == terminals && reference["connected"] == terminals ? 0 : 1;
}
