#include "library.h"

#include "PortaLivre.h"

#include <arpa/inet.h>
#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>

namespace lurma::test {
namespace {

template <class Function> void load(void *handle, const char *name, Function &function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function)
        throw std::runtime_error(std::string("libpqtLurma.so has no ") + name);
}

} // namespace

const Library &Library::get() {
    static const Library library = [] {
        auto path =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "libpqtLurma.so";
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            throw std::runtime_error(dlerror());
        Library l{};
#define LOAD(name) load(handle, #name, l.name);
        PQTLURMA_FUNCTIONS(LOAD)
#undef LOAD
        return l;
    }();
    return library;
}

TestWindow::TestWindow() {
    port_.context = this;
    port_.registerMessage = [](void *context, const char *name) {
        auto *self = static_cast<TestWindow *>(context);
        std::lock_guard lock(self->mutex_);
        auto [it, added] = self->names_.emplace(name, 0xC000 + self->names_.size());
        return it->second;
    };
    port_.postMessage = [](void *context, std::uint32_t message) {
        auto *self = static_cast<TestWindow *>(context);
        {
            std::lock_guard lock(self->mutex_);
            ++self->posted_;
            self->last_ = message;
        }
        self->changed_.notify_all();
    };
}

std::uint32_t TestWindow::waitMessage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [&] { return posted_ > taken_; }))
        return 0;
    ++taken_;
    return last_;
}

bool TestWindow::waitPosted(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return posted_ >= count; });
}

std::size_t TestWindow::posted() {
    std::lock_guard lock(mutex_);
    return posted_;
}

std::uint32_t address(const char *dotted) {
    return inet_addr(dotted);
}

void LibraryTest::SetUp() {
    setenv("LURMA_BIND", "127.0.0.1", 1);
    setenv("LURMA_KEEPALIVE_MS", keepAliveMs, 1);
    setenv("LURMA_HELLO_TIMEOUT_MS", "1000", 1);
    setenv("LURMA_REPLY_TIMEOUT_MS", "1000", 1);
    // Another program may take the port between the probe and the bind: try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        port = portaLivre();
        setenv("LURMA_PORT", std::to_string(port).c_str(), 1);
        if (lib.bInitialize(window.port()))
            return;
    }
    FAIL() << "bInitialize failed on five free ports";
}

void LibraryTest::TearDown() {
    lib.bTerminate();
}

Received LibraryTest::next() {
    Received received;
    std::uint32_t expected = 0;
    lib.vGetMsgWinReceiveDataTC(&expected);
    std::uint32_t message = window.waitMessage();
    if (message == 0 || message != expected)
        return received;
    char barcode[LURMA_BARCODE + 1];
    std::fill(std::begin(barcode), std::end(barcode), ' ');
    barcode[LURMA_BARCODE] = kCanary;
    if (lib.bConnect(&received.address))
        received.kind = Received::Connection;
    else if (lib.bDisconnect(&received.address))
        received.kind = Received::Disconnection;
    else if (lib.bReceiveBarcode(&received.address, barcode)) {
        received.kind = Received::Barcode;
        received.barcode.assign(barcode, LURMA_BARCODE);
    }
    received.canaryIntact = barcode[LURMA_BARCODE] == kCanary;
    return received;
}

bool LibraryTest::quiet(std::chrono::milliseconds time) {
    return window.waitMessage(time) == 0;
}

} // namespace lurma::test
