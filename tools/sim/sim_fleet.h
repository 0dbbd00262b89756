// Many simulated boxes in one process, on consecutive ports P to P+N-1, so that a fleet of a thousand
// boxes can be tried on one machine. Each box is a BoxSimulator of its own, serving its own client.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "tools/sim/box_simulator.h"

namespace zeze::sim {

class SimFleet : public QObject {
    Q_OBJECT
  public:
    explicit SimFleet(QObject* parent = nullptr);
    ~SimFleet() override;

    // Listens with `count` boxes from options.port on; with port 0 and more than one box, on a run of
    // free ports from 10000 on. False, with errorString(), when that cannot be had.
    bool listen(const SimOptions& options, int count);
    QString errorString() const { return m_error; }
    const std::vector<std::unique_ptr<BoxSimulator>>& boxes() const { return m_boxes; }

  signals:
    // A box's log line; with more than one box it starts with the box's port: "8001: ...".
    void logLine(const QString& line);

  private:
    // `taken`, when given, receives the port that could not be listened on.
    bool listenFrom(SimOptions options, int count, int* taken);

    std::vector<std::unique_ptr<BoxSimulator>> m_boxes;
    QString m_error;
};

}  // namespace zeze::sim
