// TcpSocket: QTcpSocket behind the window's state and error numbers, with sticky "peer closed" and
// "failed" states and a connect time-out of its own.
#include "link/tcp_socket.h"

#include <QHostAddress>
#include <QMetaObject>

#include "model/numbers.h"

namespace zeze {
namespace {

const char* const kConnectTimedOutText = "Connection timed out";

}  // namespace

int TcpSocket::errorNumber(QAbstractSocket::SocketError error, bool wasConnected) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return kErrorRefused;
        case QAbstractSocket::HostNotFoundError:
            return kErrorHostNotFound;
        case QAbstractSocket::SocketTimeoutError:
            return wasConnected ? kErrorConnectionAborted : kErrorTimedOut;
        case QAbstractSocket::NetworkError:
            if (wasConnected) {
                return kErrorConnectionAborted;
            }
            break;
        default:
            break;
    }
    return kQtErrorBase + static_cast<int>(error);
}

TcpSocket::TcpSocket(QObject* parent) : Socket(parent) {
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kDefaultConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &TcpSocket::onConnectTimeout);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_connectTimer.stop();
        m_wasConnected = true;
        emit connected();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpSocket::deliverData);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpSocket::onError);
}

TcpSocket::~TcpSocket() {
    // The member socket aborts in its destructor; its signals must not reach a half-destroyed wrapper.
    m_socket.disconnect(this);
}

int TcpSocket::state() const {
    if (m_failed) {
        return kStateError;
    }
    if (m_peerClosed) {
        return kStatePeerClosing;
    }
    switch (m_socket.state()) {
        case QAbstractSocket::UnconnectedState:
            return kStateClosed;
        case QAbstractSocket::HostLookupState:
            return kStateResolvingHost;
        case QAbstractSocket::ConnectingState:
            return kStateConnecting;
        case QAbstractSocket::ConnectedState:
            return kStateConnected;
        case QAbstractSocket::BoundState:
            return kStateOpen;
        case QAbstractSocket::ListeningState:
            return kStateListening;
        case QAbstractSocket::ClosingState:
            return kStatePeerClosing;
    }
    return kStateError;
}

QString TcpSocket::localAddress() const {
    return m_socket.localAddress().toString();
}

quint16 TcpSocket::localPort() const {
    return m_socket.localPort();
}

void TcpSocket::connectTo(const QString& host, const QString& port) {
    resetAttempt();
    m_inConnectTo = true;
    if (const std::optional<quint16> number = parsePort(port)) {
        m_connectTimer.start();
        m_socket.connectToHost(host, *number);
    } else {
        fail(
            kErrorInvalidPort,
            QStringLiteral("Invalid port \"%1\": the connection port must be a whole number from 1 to 65535.")
                .arg(port));
    }
    m_inConnectTo = false;
}

bool TcpSocket::send(const QByteArray& bytes) {
    if (state() != kStateConnected) {
        return false;
    }
    return m_socket.write(bytes) == bytes.size();
}

void TcpSocket::close() {
    resetAttempt();
}

std::optional<quint16> TcpSocket::parsePort(const QString& text) {
    const std::optional<unsigned> value = parseWholeNumber(text.trimmed().toStdString(), 65535);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return static_cast<quint16>(*value);
}

void TcpSocket::onError(QAbstractSocket::SocketError error) {
    // Qt reports a peer's close and a peer's reset alike; neither is an error line, only state 8.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        m_connectTimer.stop();
        m_peerClosed = true;
        deliverData();  // whatever is still buffered belongs to the caller even after the close
        emitEnded();
        return;
    }
    fail(errorNumber(error, m_wasConnected), m_socket.errorString());
    emitEnded();
}

void TcpSocket::onConnectTimeout() {
    const QAbstractSocket::SocketState qtState = m_socket.state();
    if (qtState != QAbstractSocket::HostLookupState && qtState != QAbstractSocket::ConnectingState) {
        return;
    }
    // Only abort() stops the attempt; close() would leave Qt dialling for another minute.
    m_socket.abort();
    fail(kErrorTimedOut, QString::fromLatin1(kConnectTimedOutText));
}

void TcpSocket::fail(int number, const QString& description) {
    m_connectTimer.stop();
    m_failed = true;
    emitError(number, description);
}

void TcpSocket::emitError(int number, const QString& description) {
    if (!m_inConnectTo) {
        emit errorOccurred(number, description);
        return;
    }
    // The caller of connectTo() logs its attempt first; the error follows from the event loop unless
    // the attempt has been closed or replaced by then.
    const quint64 attempt = m_attempt;
    QMetaObject::invokeMethod(
        this,
        [this, attempt, number, description] {
            if (attempt == m_attempt) {
                emit errorOccurred(number, description);
            }
        },
        Qt::QueuedConnection);
}

void TcpSocket::emitEnded() {
    if (!m_wasConnected || m_endedSent)
        return;
    m_endedSent = true;
    emit ended();
}

void TcpSocket::deliverData() {
    // A handler that waits inside dataArrived gets no nested call; its bytes follow when it returns.
    if (m_delivering) {
        return;
    }
    m_delivering = true;
    while (m_socket.isOpen() && m_socket.bytesAvailable() > 0) {
        emit dataArrived(m_socket.readAll());
    }
    m_delivering = false;
}

void TcpSocket::resetAttempt() {
    ++m_attempt;
    m_connectTimer.stop();
    m_socket.abort();
    m_peerClosed = false;
    m_failed = false;
    m_wasConnected = false;
    m_endedSent = false;
}

}  // namespace zeze
