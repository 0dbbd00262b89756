// Consecutive ports: with port 0 the system picks the first, and a range whose later ports are taken
// is given up and tried again from another first port.
#include "tools/sim/sim_fleet.h"

namespace zeze::sim {
namespace {

constexpr int kPortRangeAttempts = 20;

}  // namespace

SimFleet::SimFleet(QObject* parent) : QObject(parent) {}

SimFleet::~SimFleet() = default;

bool SimFleet::listen(const SimOptions& options, int count) {
    if (options.port != 0)
        return listenFrom(options, count);
    for (int attempt = 0; attempt < kPortRangeAttempts; ++attempt) {
        if (listenFrom(options, count))
            return true;
    }
    return false;
}

bool SimFleet::listenFrom(SimOptions options, int count) {
    m_boxes.clear();
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            const int port = m_boxes.front()->port() + i;
            if (port > 65535) {
                m_error = QStringLiteral("%1 boxes from port %2 run past port 65535")
                              .arg(count)
                              .arg(m_boxes.front()->port());
                m_boxes.clear();
                return false;
            }
            options.port = static_cast<std::uint16_t>(port);
        }
        auto box = std::make_unique<BoxSimulator>(options);
        if (!box->listen()) {
            m_error =
                QStringLiteral("cannot listen on 127.0.0.1:%1: ").arg(options.port) + box->errorString();
            m_boxes.clear();
            return false;
        }
        BoxSimulator* raw = box.get();
        connect(raw, &BoxSimulator::logLine, this, [this, raw, count](const QString& line) {
            emit logLine(count == 1 ? line : QString::number(raw->port()) + QStringLiteral(": ") + line);
        });
        m_boxes.push_back(std::move(box));
    }
    return true;
}

}  // namespace zeze::sim
