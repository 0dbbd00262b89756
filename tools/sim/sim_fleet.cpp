// Consecutive ports. With port 0 a run of N free ports is sought below the range the system hands out
// for outgoing connections (32768 on), where the ports of recently closed connections (TIME_WAIT)
// would break up any long run; a run that meets a taken port is tried again past it.
#include "tools/sim/sim_fleet.h"

#include <QRandomGenerator>

namespace zeze::sim {
namespace {

constexpr int kRunsFrom = 10000;
constexpr int kRunStartSpread = 10000;  // concurrent simulators seldom start at the same port
constexpr int kLastPort = 65535;

}  // namespace

SimFleet::SimFleet(QObject* parent) : QObject(parent) {}

SimFleet::~SimFleet() = default;

bool SimFleet::listen(const SimOptions& options, int count) {
    if (options.port != 0 || count == 1)
        return listenFrom(options, count, nullptr);
    int first = kRunsFrom + static_cast<int>(QRandomGenerator::global()->bounded(kRunStartSpread));
    while (first + count - 1 <= kLastPort) {
        SimOptions from = options;
        from.port = static_cast<std::uint16_t>(first);
        int taken = 0;
        if (listenFrom(from, count, &taken))
            return true;
        first = taken + 1;
    }
    m_error = QStringLiteral("found no %1 free consecutive ports from %2 to %3")
                  .arg(count)
                  .arg(kRunsFrom)
                  .arg(kLastPort);
    return false;
}

bool SimFleet::listenFrom(SimOptions options, int count, int* taken) {
    m_boxes.clear();
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            const int port = m_boxes.front()->port() + i;
            if (port > kLastPort) {
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
            if (taken)
                *taken = options.port;
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
