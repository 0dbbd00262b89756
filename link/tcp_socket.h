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
    // Qt errors without a Windows Sockets counterpart are numbered this base plus Qt's enum value.
    static constexpr int kQtErrorBase = 20000;

    explicit TcpSocket(QObject* parent = nullptr);
    ~TcpSocket() override;

    int state() const override;
    QString localAddress() const override;
    quint16 localPort() const override;
    void connectTo(const QString& host, const QString& port) override;
    bool send(const QByteArray& bytes) override;
    void close() override;

    void setConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }
    int connectTimeout() const { return m_connectTimer.interval(); }

    // The window's number for a Qt socket error; `wasConnected` tells a lost connection from a failed
    // connect. A peer's close (RemoteHostClosedError) is not an error and is not numbered here.
    static int errorNumber(QAbstractSocket::SocketError error, bool wasConnected);

    // Strict port text check: blanks around digits allowed, no sign, 1..65535. Nothing when invalid.
    static std::optional<quint16> parsePort(const QString& text);

  private:
    void onError(QAbstractSocket::SocketError error);
    void onConnectTimeout();
    void fail(int number, const QString& description);
    void deliverData();
    void resetAttempt();
    void emitError(int number, const QString& description);
    // Once per connection: it has ended without close().
    void emitEnded();

    QTcpSocket m_socket;
    QTimer m_connectTimer;
    bool m_peerClosed = false;    // state 8 until close()
    bool m_failed = false;        // state 9 until close()
    bool m_wasConnected = false;  // tells a lost connection from a failed connect
    bool m_endedSent = false;
    bool m_delivering = false;   // a dataArrived handler is running (it may Wait)
    bool m_inConnectTo = false;  // errors raised inside connectTo() are delivered after it returns
    quint64 m_attempt = 0;       // drops a queued error whose attempt was closed or replaced
};

}  // namespace zeze
