// One conversation with one box: connect, ask its firmware, then read its programming or program it
// (download, the transfer pause, and a read-back that is compared with what was sent). Runs on the
// event loop; ends with finished() and an outcome that says what happened in one line.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/endpoint.h"
#include "link/engine_link.h"
#include "link/socket.h"
#include "model/sheet.h"
#include "protocol/box_job.h"
#include "protocol/config_record.h"

namespace zeze::cli {

using zeze::BoxJob;
using zeze::BoxPhase;

struct BoxTiming {
    // The box answers a request at once; this long without the start of a reply is a failure. The
    // ID request gets the same limit as a dump request.
    std::chrono::milliseconds replyStart = ConversationLimits{}.replyStart;
    // How long the box needs after a download before it reads the next message.
    std::chrono::milliseconds (*transferPause)(std::uint8_t msgLength) = &zeze::transferPause;
};

struct BoxOutcome {
    bool ok = false;
    QString error;  // one line when not ok: "connection refused", "no reply within 10 s", ...
    std::uint16_t firmwareVersion = 0;
    std::uint8_t msgLength = 0;
    std::vector<Byte> record;              // Read: the dump reply, header included, exactly one record long
    bool verified = false;                 // Program: read back and found equal to what was sent
    std::vector<std::string> differences;  // Program: the fields the read-back differs in
};

class BoxSession : public QObject {
    Q_OBJECT
  public:
    // Without a socket a TcpSocket is made, with the window's connect time-out.
    BoxSession(const Endpoint& endpoint, BoxJob job, const BoxTiming& timing,
               std::unique_ptr<Socket> socket = nullptr, QObject* parent = nullptr);
    ~BoxSession() override;

    // Program: the values to download (commands canonical) and whether to read them back.
    void setProgram(const ConfigValues& values, bool verify);
    void start();

    const Endpoint& endpoint() const { return m_endpoint; }
    const BoxOutcome& outcome() const { return m_outcome; }
    BoxPhase phase() const { return m_phase; }
    // While Pausing: when the pause ends, on the steady clock.
    std::chrono::steady_clock::time_point pauseEnds() const { return m_flow.pauseEnds(); }
    bool isFinished() const { return m_finished; }

  signals:
    void phaseChanged(zeze::cli::BoxPhase phase);
    void finished();

  private:
    void onConnected();
    void onData(const QByteArray& bytes);
    void onError(int number, const QString& description);
    void onEnded();
    void onWake();
    // Carries out what the job asked for, then arms the wake-up timer or finishes.
    void apply(Effects effects);
    void finishIfDone();

    Endpoint m_endpoint;
    std::unique_ptr<Socket> m_socket;
    BoxJobFlow m_flow;
    EngineLink m_engineLink{*m_socket};
    BoxOutcome m_outcome;
    BoxPhase m_phase = BoxPhase::Connecting;
    bool m_started = false;
    bool m_finished = false;
};

}  // namespace zeze::cli
