#include "terminal_client.h"

#include "frame_reader.h"

#include <cstdio>

namespace lurma {

TerminalClient::TerminalClient(asio::io_context &io, asio::ip::address_v4 local,
                               Configuration settings)
    : socket_(io), wakeup_(io), keepAliveTimer_(io), local_(local), settings_(std::move(settings)) {
}

asio::awaitable<bool> TerminalClient::connect(asio::ip::tcp::endpoint server,
                                              std::chrono::milliseconds timeout) {
    asio::error_code error;
    socket_.open(asio::ip::tcp::v4(), error);
    if (!error)
        socket_.bind({local_, 0}, error);
    if (error) {
        std::fprintf(stderr, "lurma-terminal: cannot use address %s: %s\n",
                     local_.to_string().c_str(), error.message().c_str());
        co_return false;
    }
    asio::steady_timer guard(socket_.get_executor(), timeout);
    guard.async_wait([this](const asio::error_code &expired) {
        if (!expired)
            socket_.close();
    });
    co_await socket_.async_connect(server, asio::redirect_error(asio::use_awaitable, error));
    guard.cancel();
    if (error) {
        std::fprintf(stderr, "lurma-terminal: cannot connect to %s:%u: %s\n",
                     server.address().to_string().c_str(), server.port(), error.message().c_str());
        co_return false;
    }
    socket_.set_option(asio::ip::tcp::no_delay(true), error);
    connected_ = true;
    asio::co_spawn(socket_.get_executor(), readLoop(), asio::detached);
    send(Hello{});
    co_await waitForWakeup(timeout);
    if (!welcomed_) {
        std::fprintf(stderr, "lurma-terminal: %s:%u did not welcome us\n",
                     server.address().to_string().c_str(), server.port());
        close();
    }
    co_return welcomed_;
}

asio::awaitable<std::optional<Reply>> TerminalClient::scan(std::string code,
                                                           std::chrono::milliseconds timeout) {
    reply_.reset();
    waitingReply_ = true;
    send(Barcode{++scanId_, std::move(code)});
    co_await waitForWakeup(timeout);
    waitingReply_ = false;
    co_return std::exchange(reply_, std::nullopt);
}

// The reader cancels the wake-up timer when what a waiter needs has arrived.
asio::awaitable<void> TerminalClient::waitForWakeup(std::chrono::milliseconds timeout) {
    if (!connected_)
        co_return;
    wakeup_.expires_after(timeout);
    asio::error_code ignored;
    co_await wakeup_.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
}

void TerminalClient::send(const Message &message) {
    std::optional<std::vector<std::uint8_t>> frame = encode(message);
    if (!connected_ || !frame)
        return;
    // Frames are small and the socket blocks only when the server stops reading.
    asio::error_code error;
    asio::write(socket_, asio::buffer(*frame), error);
    if (error)
        end(false);
}

asio::awaitable<void> TerminalClient::readLoop() {
    auto self = shared_from_this();
    FrameReader reader(Sender::Library);
    try {
        while (connected_) {
            std::optional<Message> message = co_await reader.next(socket_);
            if (!message) {
                std::fprintf(stderr, "lurma-terminal: the server broke the protocol\n");
                break;
            }
            handle(*message);
        }
    } catch (const std::system_error &) {
    }
    end(false);
}

void TerminalClient::handle(Message &message) {
    if (auto *welcome = std::get_if<Welcome>(&message)) {
        bool first = !welcomed_;
        welcomed_ = welcome->version == kProtocolVersion;
        if (first && welcomed_ && welcome->keepAliveMs > 0)
            asio::co_spawn(socket_.get_executor(),
                           keepAlive(std::chrono::milliseconds(welcome->keepAliveMs / 3 + 1)),
                           asio::detached);
        wakeup_.cancel();
    } else if (auto *price = std::get_if<PriceReply>(&message)) {
        if (waitingReply_ && price->scan == scanId_) {
            reply_ = std::move(*price);
            wakeup_.cancel();
        }
    } else if (auto *notFound = std::get_if<NotFoundReply>(&message)) {
        if (waitingReply_ && notFound->scan == scanId_) {
            reply_ = *notFound;
            wakeup_.cancel();
        }
    } else if (auto *request = std::get_if<ConfigurationRequest>(&message)) {
        send(ConfigurationAnswer{request->id, settings_});
    } else if (auto *update = std::get_if<ConfigurationUpdate>(&message)) {
        settings_ = update->configuration;
        send(ConfigurationAck{update->id});
        if (onConfiguration)
            onConfiguration(settings_);
    } else if (std::holds_alternative<Close>(message)) {
        end(true);
    }
}

asio::awaitable<void> TerminalClient::keepAlive(std::chrono::milliseconds interval) {
    auto self = shared_from_this();
    while (connected_) {
        keepAliveTimer_.expires_after(interval);
        asio::error_code cancelled;
        co_await keepAliveTimer_.async_wait(asio::redirect_error(asio::use_awaitable, cancelled));
        if (!cancelled)
            send(KeepAlive{});
    }
}

void TerminalClient::close() {
    connected_ = false;
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    wakeup_.cancel();
    keepAliveTimer_.cancel(); // so that the io_context runs out of work
}

void TerminalClient::end(bool byServer) {
    if (!connected_)
        return;
    close();
    if (byServer && onClosed)
        onClosed();
    else if (!byServer && onLost)
        onLost();
}

} // namespace lurma
