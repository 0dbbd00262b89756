// A test client of the simulator on 127.0.0.1: connect, send, and read with deadlines on the event loop.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <cstdint>
#include <vector>

namespace zeze::sim::test {

inline constexpr int kDeadlineMs = 5000;

inline QByteArray toBytes(const auto& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class LoopbackClient {
  public:
    bool connectTo(quint16 port) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                               kDeadlineMs);
    }
    void send(const QByteArray& bytes) { m_socket.write(bytes); }
    // Reads exactly `count` bytes, or whatever came before the deadline.
    QByteArray read(qsizetype count) {
        // A short read shows in the caller's comparison.
        (void)QTest::qWaitFor([&] { return m_socket.bytesAvailable() >= count; }, kDeadlineMs);
        return m_socket.read(count);
    }
    void close() { m_socket.disconnectFromHost(); }
    QTcpSocket& socket() { return m_socket; }

  private:
    QTcpSocket m_socket;
};

}  // namespace zeze::sim::test
