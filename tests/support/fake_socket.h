// A Socket for tests: the test sets the state and the local end, reads what was sent and which
// connects were asked for, and raises the two events itself. Nothing touches the network.
//
//   zeze::FakeSocket socket;
//   socket.setState(zeze::kStateConnected);           // what state() returns
//   window.connectClicked();                          // code under test calls connectTo()/send()
//   EXPECT_EQ(socket.connectCalls().size(), 1u);      // {host, port} of each connectTo()
//   EXPECT_EQ(socket.sent(), QByteArray("\xFF\x00\x02", 3));
//   socket.arrive(QByteArray("\xFF\x02\x02\x0A", 4)); // emits dataArrived
//   socket.fail(zeze::kErrorTimedOut, "Connection timed out");  // emits errorOccurred
//
// connectTo() only records the call and, like close(), leaves the state alone unless
// setStateOnConnect() was used. send() records the bytes and returns true only in state 7 (and
// not after setRefuseSends(true)).
// close() counts the call and sets the state to 0.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "link/socket.h"

namespace zeze {

// No Q_OBJECT of its own (it adds no signals), so a test includes it without listing it for moc.
class FakeSocket : public Socket {
  public:
    struct ConnectCall {
        QString host;
        QString port;
    };

    using Socket::Socket;

    int state() const override { return m_state; }
    QString localAddress() const override { return m_localAddress; }
    quint16 localPort() const override { return m_localPort; }

    void connectTo(const QString& host, const QString& port) override {
        m_connectCalls.push_back({host, port});
        if (m_stateOnConnect) {
            m_state = *m_stateOnConnect;
        }
    }

    bool send(const QByteArray& bytes) override {
        if (m_state != kStateConnected || m_refuseSends) {
            return false;
        }
        m_sent.append(bytes);
        m_sends.push_back(bytes);
        return true;
    }

    void close() override {
        ++m_closeCount;
        m_state = kStateClosed;
    }

    // --- Set by the test ---
    void setState(int state) { m_state = state; }
    // Makes connectTo() move to this state (e.g. 7 for a box that answers at once).
    void setStateOnConnect(std::optional<int> state) { m_stateOnConnect = state; }
    void setLocalEnd(const QString& address, quint16 port) {
        m_localAddress = address;
        m_localPort = port;
    }
    // A send the connection does not take (a full or failing socket): send() returns false.
    void setRefuseSends(bool refuse) { m_refuseSends = refuse; }
    // A connect that completes now, as a late one does after the window stopped waiting.
    void completeConnect() {
        m_state = kStateConnected;
        emit connected();
    }
    void arrive(const QByteArray& bytes) { emit dataArrived(bytes); }
    // The peer closes or resets an established connection: state 8, then the ended event.
    void peerClose() {
        m_state = kStatePeerClosing;
        emit ended();
    }
    void fail(int number, const QString& description) { emit errorOccurred(number, description); }

    // --- Read by the test ---
    const std::vector<ConnectCall>& connectCalls() const { return m_connectCalls; }
    QByteArray sent() const { return m_sent; }                        // all sent bytes joined
    const std::vector<QByteArray>& sends() const { return m_sends; }  // one entry per send()
    int closeCount() const { return m_closeCount; }
    void clearSent() {
        m_sent.clear();
        m_sends.clear();
    }

  private:
    int m_state = kStateClosed;
    std::optional<int> m_stateOnConnect;
    bool m_refuseSends = false;
    QString m_localAddress;
    quint16 m_localPort = 0;
    std::vector<ConnectCall> m_connectCalls;
    QByteArray m_sent;
    std::vector<QByteArray> m_sends;
    int m_closeCount = 0;
};

}  // namespace zeze
