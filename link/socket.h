// The window's TCP link to one box, as the small interface the window needs: a state number 0..9,
// the local end, connect, send, close, and four events. TcpSocket implements it on QTcpSocket; tests
// substitute a fake to produce errors a loopback cannot.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace zeze {

enum SocketState : int {
    kStateClosed = 0,
    kStateOpen = 1,
    kStateListening = 2,
    kStatePending = 3,
    kStateResolvingHost = 4,
    kStateHostResolved = 5,
    kStateConnecting = 6,
    kStateConnected = 7,
    kStatePeerClosing = 8,
    kStateError = 9,
};

// Error numbers the window tells apart (those of Windows Sockets, which the box's users know).
inline constexpr int kErrorConnectionAborted = 10053;  // an open connection lost to the network
inline constexpr int kErrorTimedOut = 10060;           // a connect nobody answers
inline constexpr int kErrorRefused = 10061;            // nothing listens on that port
inline constexpr int kErrorInvalidPort = 10049;        // the port text is not a whole number 1..65535
inline constexpr int kErrorHostNotFound = 11001;       // the host name cannot be resolved

class Socket : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual int state() const = 0;
    virtual QString localAddress() const = 0;
    virtual quint16 localPort() const = 0;
    // Starts an asynchronous connect and returns at once; failures arrive as errorOccurred.
    virtual void connectTo(const QString& host, const QString& port) = 0;
    // Queues all bytes for sending; returns false when not connected (nothing is queued then).
    virtual bool send(const QByteArray& bytes) = 0;
    // Closes at once (cancelling a connect in progress); the state becomes 0. Harmless when closed.
    virtual void close() = 0;

  signals:
    // A connect has completed (state 7), however long after connectTo() it came.
    void connected();
    void dataArrived(const QByteArray& bytes);
    // An established connection ended without close(): the peer closed or reset it, or it failed
    // (errorOccurred comes first then). Bytes that came before it have been delivered.
    void ended();
    void errorOccurred(int number, const QString& description);
};

}  // namespace zeze
