// The conversation with one box as a small state machine driven by socket events and three timers:
// the start of a reply, the silence that gives up a cut message, and the transfer pause.
#include "cli/box_session.h"

#include "link/tcp_socket.h"
#include "progfile/program_file.h"
#include "protocol/config_diff.h"
#include "protocol/reply_parser.h"

namespace zeze::cli {
namespace {

QByteArray toQByteArray(std::span<const Byte> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0, 'g', 3) + QStringLiteral(" s");
}

QString errorLine(int number, const QString& description) {
    switch (number) {
        case kErrorRefused:
            return QStringLiteral("connection refused");
        case kErrorTimedOut:
            return QStringLiteral("no answer to the connect within %1")
                .arg(seconds(std::chrono::milliseconds(TcpSocket::kDefaultConnectTimeoutMs)));
        case kErrorHostNotFound:
            return QStringLiteral("host not found");
        case kErrorConnectionAborted:
            return QStringLiteral("connection lost");
        default:
            return description;
    }
}

}  // namespace

BoxSession::BoxSession(const Endpoint& endpoint, BoxJob job, const BoxTiming& timing,
                       std::unique_ptr<Socket> socket, QObject* parent)
    : QObject(parent),
      m_endpoint(endpoint),
      m_job(job),
      m_timing(timing),
      m_socket(socket ? std::move(socket) : std::make_unique<TcpSocket>()) {
    for (QTimer* timer : {&m_replyTimer, &m_silenceTimer, &m_pauseTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_replyTimer, &QTimer::timeout, this, &BoxSession::onReplyTimeout);
    connect(&m_silenceTimer, &QTimer::timeout, this, &BoxSession::onSilence);
    connect(&m_pauseTimer, &QTimer::timeout, this, &BoxSession::onPauseOver);
    connect(m_socket.get(), &Socket::connected, this, &BoxSession::onConnected);
    connect(m_socket.get(), &Socket::dataArrived, this, &BoxSession::onData);
    connect(m_socket.get(), &Socket::errorOccurred, this, &BoxSession::onError);
}

BoxSession::~BoxSession() {
    m_socket->disconnect(this);
}

void BoxSession::setProgram(const ConfigValues& values, bool verify) {
    m_program = values;
    m_verify = verify;
}

void BoxSession::start() {
    m_step = Step::Connecting;
    setPhase(BoxPhase::Connecting);
    m_assembler.clear();
    m_socket->connectTo(m_endpoint.host, QString::number(m_endpoint.port));
}

void BoxSession::onConnected() {
    if (m_step == Step::Connecting)
        request(kIdRequest, Step::AwaitFirmware);
}

bool BoxSession::request(std::span<const Byte> bytes, Step next) {
    if (!m_socket->send(toQByteArray(bytes))) {
        fail(QStringLiteral("the connection did not take the request"));
        return false;
    }
    m_step = next;
    if (next == Step::AwaitFirmware)
        setPhase(BoxPhase::Identifying);
    else if (next == Step::AwaitDump)
        setPhase(m_job == BoxJob::Program ? BoxPhase::Verifying : BoxPhase::Reading);
    if (next == Step::AwaitFirmware || next == Step::AwaitDump)
        m_replyTimer.start(m_timing.replyStart);
    return true;
}

void BoxSession::onData(const QByteArray& bytes) {
    if (m_step == Step::Done)
        return;
    const std::span<const Byte> arrival(reinterpret_cast<const Byte*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()));
    const auto message = m_assembler.feed(arrival, dumpReadLength(m_runValues));
    if (m_assembler.heldBytes() > 0)
        m_replyTimer.stop();  // a reply has begun; from now on only silence ends the wait
    armSilenceTimer();
    if (message)
        handleMessage(*message);
}

void BoxSession::armSilenceTimer() {
    const auto deadline = m_assembler.deadline();
    if (!deadline) {
        m_silenceTimer.stop();
        return;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - MessageAssembler::Clock::now());
    m_silenceTimer.start(std::max(left, std::chrono::milliseconds(0)));
}

void BoxSession::onSilence() {
    const auto expiry = m_assembler.poll();
    armSilenceTimer();
    if (!expiry || expiry->kind != MessageAssembler::Expiry::Kind::GaveUp)
        return;
    if (m_step == Step::AwaitDump) {
        fail(QStringLiteral("dump reply cut short: %1 of %2 bytes, then %3 of silence")
                 .arg(expiry->bytes)
                 .arg(configMessageSize(dumpReadLength(m_runValues)))
                 .arg(seconds(MessageAssembler::kSilenceLimit)));
    } else if (m_step == Step::AwaitFirmware) {
        fail(QStringLiteral("reply cut short after %1 bytes, then %2 of silence")
                 .arg(expiry->bytes)
                 .arg(seconds(MessageAssembler::kSilenceLimit)));
    }
}

void BoxSession::handleMessage(const std::vector<Byte>& message) {
    const ParsedReply reply = ParseReply(message, m_runValues);
    if (m_step == Step::AwaitFirmware && reply.kind == ReplyKind::Firmware) {
        applyReply(m_runValues, reply);
        onFirmware();
    } else if (m_step == Step::AwaitDump && reply.kind == ReplyKind::Dump && reply.config) {
        onDump(message, *reply.config);
    } else if (m_step == Step::AwaitFirmware || m_step == Step::AwaitDump) {
        // A status message the box sent on its own: the awaited reply gets a fresh limit.
        m_replyTimer.start(m_timing.replyStart);
    }
}

void BoxSession::onFirmware() {
    m_outcome.firmwareVersion = m_runValues.FirmwareVersion;
    m_outcome.msgLength = m_runValues.GPIMsgLength;
    switch (m_job) {
        case BoxJob::Info:
            succeed();
            return;
        case BoxJob::Read:
            request(kDumpRequest, Step::AwaitDump);
            return;
        case BoxJob::Program:
            break;
    }
    if (!m_program) {
        fail(QStringLiteral("nothing to send"));
        return;
    }
    // Checked again here: the box may have changed since the file was checked against it.
    if (const auto refusal = fitRefusal(*m_program, m_runValues.GPIMsgLength)) {
        fail(QString::fromStdString(*refusal) + QStringLiteral("; nothing was sent"));
        return;
    }
    Sheet sheet = m_runValues;
    applyConfigValues(sheet, *m_program);
    const EncodeResult download = BuildDownload(sheet);
    if (!download.ok()) {
        fail(QString::fromStdString(download.error));
        return;
    }
    m_program = configValuesOf(sheet);  // what the box must hold afterwards, commands canonical
    setPhase(BoxPhase::Sending);
    if (request(download.message, Step::Pausing)) {
        const auto pause = m_timing.transferPause(m_runValues.GPIMsgLength);
        m_pauseEnds = std::chrono::steady_clock::now() + pause;
        m_pauseTimer.start(pause);
        setPhase(BoxPhase::Pausing);
    }
}

void BoxSession::onPauseOver() {
    if (m_step != Step::Pausing)
        return;
    // Without a read-back the pause still runs to its end: it lets the download leave the socket and
    // the box store it before the connection closes.
    if (m_job == BoxJob::Program && !m_verify) {
        succeed();
        return;
    }
    m_assembler.clear();
    request(kDumpRequest, Step::AwaitDump);
}

void BoxSession::onDump(const std::vector<Byte>& message, const ConfigValues& values) {
    const std::size_t size = configMessageSize(dumpReadLength(m_runValues));
    m_outcome.record.assign(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(size));
    if (m_job == BoxJob::Program && m_program) {
        const std::vector<std::string> differences = describeDifferences(*m_program, values);
        if (!differences.empty()) {
            QStringList lines;
            for (const std::string& line : differences)
                lines << QString::fromStdString(line);
            fail(QStringLiteral("read back differs in %1 field%2: %3")
                     .arg(differences.size())
                     .arg(differences.size() == 1 ? "" : "s")
                     .arg(lines.join(QStringLiteral("; "))));
            return;
        }
        m_outcome.verified = true;
    }
    succeed();
}

void BoxSession::onError(int number, const QString& description) {
    if (m_step == Step::Done || m_step == Step::Idle)
        return;
    fail(errorLine(number, description));
}

void BoxSession::onReplyTimeout() {
    if (m_step != Step::AwaitFirmware && m_step != Step::AwaitDump)
        return;
    if (m_socket->state() == kStatePeerClosing) {
        fail(QStringLiteral("the box closed the connection"));
        return;
    }
    fail(QStringLiteral("no %1 within %2")
             .arg(m_step == Step::AwaitDump ? QStringLiteral("dump reply") : QStringLiteral("reply"))
             .arg(seconds(m_timing.replyStart)));
}

void BoxSession::fail(const QString& line) {
    m_outcome.ok = false;
    m_outcome.error = line;
    finish();
}

void BoxSession::succeed() {
    m_outcome.ok = true;
    finish();
}

void BoxSession::finish() {
    if (m_step == Step::Done)
        return;
    m_step = Step::Done;
    m_replyTimer.stop();
    m_silenceTimer.stop();
    m_pauseTimer.stop();
    m_socket->close();
    m_assembler.clear();
    setPhase(BoxPhase::Done);
    emit finished();
}

void BoxSession::setPhase(BoxPhase phase) {
    if (phase == m_phase)
        return;
    m_phase = phase;
    emit phaseChanged(phase);
}

}  // namespace zeze::cli
