// Socket on QTcpSocket: maps Qt's states and errors onto the window's numbers and gives up a connect
// nobody answers after its own time-out (Qt's own attempt lasts about a minute).
#pragma once

#include <optional>

#include <QTcpSocket>
#include <QTimer>

#include "link/socket.h"

namespace zeze {

class TcpSocket : public Socket {
    Q_OBJECT
public:
    static constexpr int kDefaultConnectTimeoutMs = 20000;

    explicit TcpSocket(QObject* parent = nullptr);

    int state() const override;
    QString localAddress() const override;
    quint16 localPort() const override;
    void connectTo(const QString& host, const QString& port) override;
    bool send(const QByteArray& bytes) override;
    void close() override;

    void setConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }

    // Strict port text check: blanks around digits allowed, no sign, 1..65535. Nothing when invalid.
    static std::optional<quint16> parsePort(const QString& text);

private:
    void onError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void fail(int number, const QString& description);

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    bool m_peerClosed = false;  // state 8 until close()
    bool m_failed = false;      // state 9 until close()
};

}  // namespace zeze
