// The part of a conversation engine's answer that touches the socket and the clock, carried out the
// same way for the window and zeze: arrivals are handed over as bytes, messages go out in order until
// the connection refuses one, and one timer wakes the engine when it asked to be woken.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/socket.h"

namespace zeze {

class EngineLink : public QObject {
    Q_OBJECT
  public:
    using Clock = std::chrono::steady_clock;

    // The socket outlives this link.
    explicit EngineLink(Socket& socket, QObject* parent = nullptr);

    // Sends each message in order; false when the connection refused one (those after it were not
    // sent), which the engine must be told of.
    [[nodiscard]] bool send(const std::vector<std::vector<std::uint8_t>>& messages);
    // Emits woken() at `due` (at once when it has passed); nothing when there is nothing due.
    void wakeAt(std::optional<Clock::time_point> due);

    static std::span<const std::uint8_t> bytesOf(const QByteArray& bytes) {
        return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<std::size_t>(bytes.size())};
    }

  signals:
    void woken();

  private:
    Socket& m_socket;
    QTimer m_timer;
};

}  // namespace zeze
