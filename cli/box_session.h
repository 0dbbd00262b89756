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
#include "link/socket.h"
#include "model/sheet.h"
#include "protocol/config_record.h"
#include "protocol/message_assembler.h"
#include "protocol/transfer.h"

namespace zeze::cli {

enum class BoxJob { Info, Read, Program };

// What a session is doing, for progress displays. Pausing lasts the transfer pause; pauseEnds()
// tells when it is over.
enum class BoxPhase { Connecting, Identifying, Reading, Sending, Pausing, Verifying, Done };

struct BoxTiming {
    // The box answers a request at once; this long without the start of a reply is a failure. The
    // ID request gets the same limit as a dump request.
    std::chrono::milliseconds replyStart = kDumpStartTimeout;
    // How long the box needs after a download before it reads the next message.
    std::chrono::milliseconds (*transferPause)(std::uint8_t msgLength) = &zeze::transferPause;
};

struct BoxOutcome {
    bool ok = false;
    QString error;  // one line when not ok: "connection refused", "no reply within 10 s", ...
    std::uint16_t firmwareVersion = 0;
    std::uint8_t msgLength = 0;
    std::vector<Byte> record;  // Read: the dump reply, header included, exactly one record long
    bool verified = false;     // Program: read back and found equal to what was sent
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
    std::chrono::steady_clock::time_point pauseEnds() const { return m_pauseEnds; }
    bool isFinished() const { return m_step == Step::Done; }

  signals:
    void phaseChanged(zeze::cli::BoxPhase phase);
    void finished();

  private:
    enum class Step { Idle, Connecting, AwaitFirmware, AwaitDump, Pausing, Done };

    void onConnected();
    void onData(const QByteArray& bytes);
    void onError(int number, const QString& description);
    void onReplyTimeout();
    void onSilence();
    void onPauseOver();
    void handleMessage(const std::vector<Byte>& message);
    void onFirmware();
    void onDump(const std::vector<Byte>& message, const ConfigValues& values);
    bool request(std::span<const Byte> bytes, Step next);
    void armSilenceTimer();
    void fail(const QString& line);
    void succeed();
    void finish();
    void setPhase(BoxPhase phase);

    Endpoint m_endpoint;
    BoxJob m_job;
    BoxTiming m_timing;
    std::unique_ptr<Socket> m_socket;
    Step m_step = Step::Idle;
    Sheet m_runValues;  // FirmwareVersion and GPIMsgLength, as the reply parser reads them
    std::optional<ConfigValues> m_program;
    bool m_verify = true;
    MessageAssembler m_assembler;
    QTimer m_replyTimer;
    QTimer m_silenceTimer;
    QTimer m_pauseTimer;
    BoxOutcome m_outcome;
    BoxPhase m_phase = BoxPhase::Connecting;
    std::chrono::steady_clock::time_point m_pauseEnds{};
};

}  // namespace zeze::cli
