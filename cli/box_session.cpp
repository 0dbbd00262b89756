// One box's job on the event loop: socket events and one wake-up timer drive the job, which owns the
// conversation and says what to send and when to be woken.
#include "cli/box_session.h"

#include "link/tcp_socket.h"
#include "progfile/program_file.h"

namespace zeze::cli {
namespace {

using Clock = std::chrono::steady_clock;

QString seconds(std::chrono::milliseconds duration) {
    return QString::number(static_cast<double>(duration.count()) / 1000.0, 'g', 3) + QStringLiteral(" s");
}

QString errorLine(int number, const QString& description, const Socket& socket) {
    switch (number) {
        case kErrorRefused:
            return QStringLiteral("connection refused");
        case kErrorTimedOut: {
            const auto* tcp = dynamic_cast<const TcpSocket*>(&socket);
            return QStringLiteral("no answer to the connect within %1")
                .arg(seconds(std::chrono::milliseconds(tcp ? tcp->connectTimeout()
                                                           : TcpSocket::kDefaultConnectTimeoutMs)));
        }
        case kErrorHostNotFound:
            return QStringLiteral("host not found");
        case kErrorConnectionAborted:
            return QStringLiteral("connection lost");
        default:
            return description;
    }
}

ConversationLimits limitsOf(const BoxTiming& timing) {
    ConversationLimits limits;
    limits.replyStart = timing.replyStart;
    limits.transferPause = timing.transferPause;
    return limits;
}

}  // namespace

BoxSession::BoxSession(const Endpoint& endpoint, BoxJob job, const BoxTiming& timing,
                       std::unique_ptr<Socket> socket, QObject* parent)
    : QObject(parent),
      m_endpoint(endpoint),
      m_socket(socket ? std::move(socket) : std::make_unique<TcpSocket>()),
      m_flow(job, limitsOf(timing)) {
    connect(&m_engineLink, &EngineLink::woken, this, &BoxSession::onWake);
    connect(m_socket.get(), &Socket::connected, this, &BoxSession::onConnected);
    connect(m_socket.get(), &Socket::dataArrived, this, &BoxSession::onData);
    connect(m_socket.get(), &Socket::errorOccurred, this, &BoxSession::onError);
    connect(m_socket.get(), &Socket::ended, this, &BoxSession::onEnded);
}

BoxSession::~BoxSession() {
    m_socket->disconnect(this);
}

void BoxSession::setProgram(const ConfigValues& values, bool verify) {
    m_flow.setProgram(values, verify, &fitRefusal);
}

void BoxSession::start() {
    m_started = true;
    m_socket->connectTo(m_endpoint.host, QString::number(m_endpoint.port));
}

void BoxSession::onConnected() {
    if (m_started)
        apply(m_flow.connected(Clock::now()));
}

void BoxSession::onData(const QByteArray& bytes) {
    apply(m_flow.arrived(EngineLink::bytesOf(bytes), Clock::now()));
}

void BoxSession::onError(int number, const QString& description) {
    if (!m_started || m_finished)
        return;
    m_flow.fail(errorLine(number, description, *m_socket).toStdString());
    finishIfDone();
}

void BoxSession::onEnded() {
    // The box closed or reset the connection: reported at once, not when a limit runs out.
    apply(m_flow.connectionLost(Clock::now()));
}

void BoxSession::onWake() {
    apply(m_flow.advance(Clock::now()));
}

void BoxSession::apply(Effects effects) {
    if (m_finished)
        return;
    if (!m_flow.done() && !m_engineLink.send(effects.sends)) {
        apply(m_flow.sendRefused(Clock::now()));
        return;
    }
    if (m_flow.phase() != m_phase) {
        m_phase = m_flow.phase();
        if (m_phase != BoxPhase::Done)
            emit phaseChanged(m_phase);
    }
    m_engineLink.wakeAt(m_flow.wakeAt());
    finishIfDone();
}

void BoxSession::finishIfDone() {
    if (!m_flow.done() || m_finished)
        return;
    m_finished = true;
    const JobResult& result = m_flow.result();
    m_outcome.ok = result.ok;
    m_outcome.error = QString::fromStdString(result.error);
    if (!result.differences.empty()) {
        QStringList lines;
        for (const std::string& line : result.differences)
            lines << QString::fromStdString(line);
        m_outcome.error += QStringLiteral(": ") + lines.join(QStringLiteral("; "));
    }
    m_outcome.firmwareVersion = result.firmwareVersion;
    m_outcome.msgLength = result.msgLength;
    m_outcome.record = result.record;
    m_outcome.verified = result.verified;
    m_outcome.differences = result.differences;
    m_engineLink.wakeAt(std::nullopt);
    m_socket->close();
    m_phase = BoxPhase::Done;
    emit phaseChanged(BoxPhase::Done);
    emit finished();
}

}  // namespace zeze::cli
