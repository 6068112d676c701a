// The library's event FIFO: filled by the network thread, read by the caller's UI thread.
#ifndef LURMA_EVENTS_H
#define LURMA_EVENTS_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace lurma {

struct Event {
    enum class Kind { Connection, Disconnection, Barcode } kind = Kind::Connection;
    std::uint32_t address = 0; // network byte order
    std::string code;          // barcode only
};

class EventQueue {
public:
    // Barcodes beyond this many waiting are dropped so a flooding terminal cannot grow the
    // queue without bound while the UI thread is busy; connections and disconnections are
    // always kept, the server's list of terminals depends on them.
    static constexpr std::size_t kMaxWaitingBarcodes = 1024;

    // False when the event was dropped.
    bool push(Event event) {
        std::lock_guard lock(mutex_);
        if (event.kind == Event::Kind::Barcode) {
            if (waitingBarcodes_ >= kMaxWaitingBarcodes)
                return false;
            ++waitingBarcodes_;
        }
        events_.push_back(std::move(event));
        return true;
    }

    // The head event when it is of the given kind.
    std::optional<Event> take(Event::Kind kind) {
        std::lock_guard lock(mutex_);
        if (events_.empty() || events_.front().kind != kind)
            return std::nullopt;
        Event event = std::move(events_.front());
        events_.pop_front();
        if (kind == Event::Kind::Barcode)
            --waitingBarcodes_;
        return event;
    }

private:
    std::mutex mutex_;
    std::deque<Event> events_;
    std::size_t waitingBarcodes_ = 0;
};

} // namespace lurma

#endif
