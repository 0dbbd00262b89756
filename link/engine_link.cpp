#include "link/engine_link.h"

#include <algorithm>

namespace zeze {

EngineLink::EngineLink(Socket& socket, QObject* parent) : QObject(parent), m_socket(socket) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &EngineLink::woken);
}

bool EngineLink::send(const std::vector<std::vector<std::uint8_t>>& messages) {
    for (const auto& message : messages) {
        const QByteArray bytes(reinterpret_cast<const char*>(message.data()),
                               static_cast<qsizetype>(message.size()));
        if (!m_socket.send(bytes))
            return false;
    }
    return true;
}

void EngineLink::wakeAt(std::optional<Clock::time_point> due) {
    if (!due) {
        m_timer.stop();
        return;
    }
    // A day at most: QTimer takes an int of milliseconds.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
    m_timer.start(static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000)));
}

}  // namespace zeze
