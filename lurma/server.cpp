#include "server.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>

namespace lurma {
namespace {

// A set variable that does not parse is reported and refuses the start, never ignored.
template <class Number> bool readNumber(const char *name, Number low, Number high, Number &value) {
    const char *text = std::getenv(name);
    if (!text || !*text)
        return true;
    Number parsed{};
    auto [end, error] = std::from_chars(text, text + std::strlen(text), parsed);
    if (error != std::errc{} || *end || parsed < low || parsed > high) {
        std::fprintf(stderr, "pqtLurma: %s=%s is not a number from %lld to %lld\n", name, text,
                     static_cast<long long>(low), static_cast<long long>(high));
        return false;
    }
    value = parsed;
    return true;
}

bool readMs(const char *name, std::chrono::milliseconds &value) {
    long long ms = value.count();
    if (!readNumber<long long>(name, 1, 24LL * 3600 * 1000, ms))
        return false;
    value = std::chrono::milliseconds(ms);
    return true;
}

} // namespace

std::optional<Settings> Settings::fromEnvironment() {
    Settings settings;
    if (const char *bind = std::getenv("LURMA_BIND"); bind && *bind) {
        asio::error_code error;
        settings.bind = asio::ip::make_address_v4(bind, error);
        if (error) {
            std::fprintf(stderr, "pqtLurma: LURMA_BIND=%s is not an IPv4 address\n", bind);
            return std::nullopt;
        }
    }
    if (!readNumber<std::uint16_t>("LURMA_PORT", 1, 65535, settings.port) ||
        !readMs("LURMA_KEEPALIVE_MS", settings.keepAlive) ||
        !readMs("LURMA_HELLO_TIMEOUT_MS", settings.helloTimeout) ||
        !readMs("LURMA_REPLY_TIMEOUT_MS", settings.replyTimeout))
        return std::nullopt;
    return settings;
}

Server::Server(const Settings &settings, const LurmaWindowPort &port)
    : settings_(settings), port_(port), acceptor_(io_) {}

std::unique_ptr<Server> Server::start(const Settings &settings, const LurmaWindowPort &port) {
    std::unique_ptr<Server> server(new Server(settings, port));
    asio::ip::tcp::endpoint endpoint(settings.bind, settings.port);
    asio::error_code error;
    server->acceptor_.open(endpoint.protocol(), error);
    if (!error)
        server->acceptor_.set_option(asio::socket_base::reuse_address(true), error);
    if (!error)
        server->acceptor_.bind(endpoint, error);
    if (!error)
        server->acceptor_.listen(asio::socket_base::max_listen_connections, error);
    if (error)
        return nullptr;
    server->message_ = port.registerMessage(port.context, LURMA_NOTIFICATION_NAME);
    asio::co_spawn(server->io_, server->acceptLoop(), asio::detached);
    server->thread_ = std::thread([raw = server.get()] {
        // A fault in one handler must not end the process that loaded us.
        for (;;) {
            try {
                raw->io_.run();
                return;
            } catch (const std::exception &error) {
                std::fprintf(stderr, "pqtLurma: %s\n", error.what());
            }
        }
    });
    return server;
}

Server::~Server() {
    if (!thread_.joinable())
        return; // never started: the bind failed
    asio::post(io_, [this] {
        asio::error_code ignored;
        acceptor_.close(ignored);
        for (auto &[address, session] : terminals_)
            session->abort();
        for (auto &session : awaitingHello_)
            session->abort();
        terminals_.clear();
        awaitingHello_.clear();
        io_.stop();
    });
    thread_.join();
}

asio::awaitable<void> Server::acceptLoop() {
    for (;;) {
        asio::error_code error;
        auto socket =
            co_await acceptor_.async_accept(asio::redirect_error(asio::use_awaitable, error));
        if (!acceptor_.is_open())
            co_return;
        if (error) {
            // Out of descriptors or memory: pause instead of spinning on the same error.
            asio::steady_timer pause(io_, std::chrono::milliseconds(100));
            co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, error));
            continue;
        }
        auto remote = socket.remote_endpoint(error);
        if (error || !remote.address().is_v4())
            continue;
        socket.set_option(asio::ip::tcp::no_delay(true), error);
        if (awaitingHello_.size() >= kMaxAwaitingHello) {
            awaitingHello_.front()->abort();
            awaitingHello_.pop_front();
        }
        // Network byte order: the address's bytes in their wire order, as inet_addr gives it.
        auto bytes = remote.address().to_v4().to_bytes();
        std::uint32_t address = 0;
        std::memcpy(&address, bytes.data(), sizeof address);
        auto session = std::make_shared<Session>(*this, std::move(socket), address);
        awaitingHello_.push_back(session);
        session->start(settings_.helloTimeout);
    }
}

bool Server::admit(const std::shared_ptr<Session> &session) {
    awaitingHello_.remove(session);
    std::uint32_t address = session->address();
    auto old = terminals_.find(address);
    // A terminal reconnecting faster than the caller takes events waits until it catches up.
    if ((old == terminals_.end() && terminals_.size() >= kMaxTerminals) ||
        !events_.roomForConnection(address)) {
        session->abort();
        return false;
    }
    if (old != terminals_.end()) {
        old->second->abort();
        terminals_.erase(old);
        disconnected(address);
    }
    terminals_.emplace(address, session);
    push({Event::Kind::Connection, address, {}});
    return true;
}

std::uint64_t Server::barcode(std::uint32_t address, std::string code) {
    std::uint64_t scan = nextScan_++;
    push({Event::Kind::Barcode, address, std::move(code), scan});
    return scan;
}

std::uint64_t Server::supersede(std::uint32_t address) {
    events_.dropScan(address);
    return nextScan_++;
}

// The scan still waiting from a connection that is gone could not be answered any more.
void Server::disconnected(std::uint32_t address) {
    events_.dropScan(address);
    push({Event::Kind::Disconnection, address, {}});
}

void Server::lost(const Session &session, bool wasTerminal) {
    if (!wasTerminal) {
        awaitingHello_.remove_if([&](const auto &waiting) { return waiting.get() == &session; });
        return;
    }
    auto found = terminals_.find(session.address());
    if (found != terminals_.end() && found->second.get() == &session) {
        terminals_.erase(found);
        disconnected(session.address());
    }
}

void Server::push(Event event) {
    if (events_.push(std::move(event)))
        port_.postMessage(port_.context, message_);
}

std::shared_ptr<Session> Server::find(std::uint32_t address) const {
    auto found = terminals_.find(address);
    return found == terminals_.end() ? nullptr : found->second;
}

template <class Result, class Task> std::optional<Result> Server::onNetwork(Task task) {
    auto promise = std::make_shared<std::promise<Result>>();
    auto future = promise->get_future();
    asio::post(io_, [promise, task = std::move(task)]() mutable { promise->set_value(task()); });
    if (future.wait_for(settings_.replyTimeout) != std::future_status::ready)
        return std::nullopt;
    return future.get();
}

std::optional<Event> Server::take(Event::Kind kind) {
    std::optional<Event> event = events_.take(kind);
    if (event && kind == Event::Kind::Barcode)
        handedOut_[event->address] = event->scan;
    return event;
}

bool Server::reply(std::uint32_t address, Message reply) {
    auto found = handedOut_.find(address);
    if (found == handedOut_.end())
        return false;
    std::uint64_t scan = found->second;
    handedOut_.erase(found); // at most once, whatever comes of it
    return onNetwork<bool>([this, address, scan, reply = std::move(reply)]() mutable {
               auto session = find(address);
               return session && session->answerScan(scan, std::move(reply));
           })
        .value_or(false);
}

bool Server::close(std::uint32_t address) {
    return onNetwork<bool>([this, address] {
               auto session = find(address);
               if (!session)
                   return false;
               terminals_.erase(address);
               disconnected(address);
               session->closeGracefully();
               return true;
           })
        .value_or(false);
}

std::optional<Message> Server::ask(std::uint32_t address, const Message &request,
                                   std::uint32_t id) {
    auto promise = std::make_shared<std::promise<std::optional<Message>>>();
    auto future = promise->get_future();
    asio::post(io_, [this, address, request, id, promise] {
        auto session = find(address);
        if (!session) {
            promise->set_value(std::nullopt);
            return;
        }
        session->request(id, request, [promise](std::optional<Message> answer) {
            promise->set_value(std::move(answer));
        });
    });
    if (future.wait_for(settings_.replyTimeout) != std::future_status::ready) {
        asio::post(io_, [this, address, id] {
            if (auto session = find(address))
                session->forget(id);
        });
        return std::nullopt;
    }
    return future.get();
}

} // namespace lurma
