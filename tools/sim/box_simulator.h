// A stand-in for a Zeze box on 127.0.0.1: answers the ID, GPI and dump requests, stores downloads, and
// logs one line per message. Serves one client at a time; later clients wait in the listen queue.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <deque>
#include <vector>

#include "protocol/frame.h"
#include "tools/sim/inbound_framer.h"
#include "tools/sim/sim_options.h"

class QTcpSocket;

namespace zeze::sim {

class BoxSimulator : public QObject {
    Q_OBJECT
  public:
    explicit BoxSimulator(const SimOptions& options, QObject* parent = nullptr);
    ~BoxSimulator() override;

    // Listens on 127.0.0.1 at the configured port (0: a free one). False, with errorString(), on failure.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

    // "zeze-sim listening on 127.0.0.1:8000 (firmware 2.10, 55 bytes per pin)"
    QString listeningLine() const;
    QString firmwareText() const;
    std::uint8_t msgLength() const { return m_msgLength; }
    // The stored programming: exactly the bytes of a download of it, header included.
    const std::vector<Byte>& programming() const { return m_programming; }

  signals:
    void logLine(const QString& line);

  private:
    void acceptNext();
    void readClient();
    void clientGone();
    void giveUpHeld();
    void handle(const Inbound& message);
    void storeDownload(const std::vector<Byte>& message);
    void sendReply(const QString& name, const std::vector<Byte>& bytes);
    void writeNextChunk();

    SimOptions m_options;
    std::uint8_t m_msgLength;
    std::vector<Byte> m_programming;
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    InboundFramer m_framer;
    QTimer m_stallTimer;
    QTimer m_chunkTimer;
    std::deque<QByteArray> m_chunks;
};

}  // namespace zeze::sim
