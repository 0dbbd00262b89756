// The simulated box: one client at a time, the tool's stream framed by InboundFramer, replies written
// whole or in timed pieces. The stall timer is the framer's quiet gap: restarted by every arrival while
// bytes are held, it gives up a partial request and ends a download.
#include "tools/sim/box_simulator.h"

#include <QHostAddress>
#include <QStringList>
#include <QTcpSocket>
#include <span>

#include "protocol/config_diff.h"
#include "protocol/config_record.h"
#include "protocol/reply_parser.h"

namespace zeze::sim {

namespace {

std::uint8_t majorOf(std::uint16_t firmware) {
    return static_cast<std::uint8_t>(firmware >> 8);
}
std::uint8_t minorOf(std::uint16_t firmware) {
    return static_cast<std::uint8_t>(firmware & 0xFF);
}

// What a box holds before anything was downloaded: the programming a fresh sheet sends.
std::vector<Byte> factoryProgramming(std::uint8_t msgLength) {
    return EncodeConfigMessage(configValuesOf(Sheet{}), msgLength).message;
}

QString bytesText(std::size_t count) {
    return QString::number(count) + " bytes";
}

}  // namespace

BoxSimulator::BoxSimulator(const SimOptions& options, QObject* parent)
    : QObject(parent),
      m_options(options),
      m_msgLength(msgLengthForFirmware(options.firmware)),
      m_programming(factoryProgramming(m_msgLength)),
      m_framer(configMessageSize(m_msgLength)) {
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(m_options.stallMs);
    m_chunkTimer.setTimerType(Qt::PreciseTimer);
    m_chunkTimer.setInterval(m_options.chunkDelayMs);
    connect(&m_server, &QTcpServer::newConnection, this, &BoxSimulator::acceptNext);
    connect(&m_stallTimer, &QTimer::timeout, this, &BoxSimulator::giveUpHeld);
    connect(&m_chunkTimer, &QTimer::timeout, this, &BoxSimulator::writeNextChunk);
}

BoxSimulator::~BoxSimulator() {
    // The client's last signals must not reach members that are already gone.
    if (m_client != nullptr) {
        m_client->disconnect(this);
        delete m_client;
    }
}

bool BoxSimulator::listen() {
    return m_server.listen(QHostAddress::LocalHost, m_options.port);
}

QString BoxSimulator::firmwareText() const {
    return QString::fromStdString(formatFirmware(majorOf(m_options.firmware), minorOf(m_options.firmware)));
}

QString BoxSimulator::listeningLine() const {
    return QStringLiteral("zeze-sim listening on 127.0.0.1:%1 (firmware %2, %3 bytes per pin)")
        .arg(port())
        .arg(firmwareText())
        .arg(m_msgLength);
}

void BoxSimulator::acceptNext() {
    if (m_client != nullptr || !m_server.hasPendingConnections()) {
        return;
    }
    // While a client is served, further connections wait in the system's listen queue.
    m_server.pauseAccepting();
    m_client = m_server.nextPendingConnection();
    m_framer.clear();
    emit logLine(QStringLiteral("client connected from %1:%2")
                     .arg(m_client->peerAddress().toString())
                     .arg(m_client->peerPort()));
    if (m_options.chunkSize > 0) {
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // keep the pieces apart
    }
    connect(m_client, &QTcpSocket::readyRead, this, &BoxSimulator::readClient);
    connect(m_client, &QTcpSocket::disconnected, this, &BoxSimulator::clientGone);
    // A queued client may have sent its bytes, or even left, before it was taken.
    readClient();
    if (m_client->state() != QAbstractSocket::ConnectedState) {
        clientGone();
    }
}

void BoxSimulator::readClient() {
    if (m_client == nullptr) {
        return;
    }
    const QByteArray data = m_client->readAll();
    if (data.isEmpty()) {
        return;
    }
    const auto* first = reinterpret_cast<const Byte*>(data.constData());
    for (const Inbound& message :
         m_framer.feed(std::span<const Byte>(first, static_cast<std::size_t>(data.size())))) {
        handle(message);
    }
    if (m_framer.heldBytes() > 0) {
        m_stallTimer.start();
    } else {
        m_stallTimer.stop();
    }
}

void BoxSimulator::clientGone() {
    if (m_client == nullptr) {
        return;
    }
    readClient();
    giveUpHeld();
    m_chunkTimer.stop();
    m_chunks.clear();
    m_client->disconnect(this);
    m_client->deleteLater();
    m_client = nullptr;
    emit logLine(QStringLiteral("client disconnected"));
    m_server.resumeAccepting();
    // Clients adopted while this one was served are taken from the event loop, not from inside its
    // signal.
    QMetaObject::invokeMethod(this, &BoxSimulator::acceptNext, Qt::QueuedConnection);
}

void BoxSimulator::giveUpHeld() {
    m_stallTimer.stop();
    for (const Inbound& message : m_framer.flush()) {
        handle(message);
    }
}

void BoxSimulator::handle(const Inbound& message) {
    const std::size_t size = message.size();
    switch (message.kind) {
        case InboundKind::IdRequest:
            emit logLine("received ID request, " + bytesText(size));
            sendReply("firmware reply " + firmwareText(),
                      {kStartByte, kGroupStatus, kCodeData, kTypeFirmware, minorOf(m_options.firmware),
                       majorOf(m_options.firmware)});
            break;
        case InboundKind::GpiRequest:
            emit logLine("received GPI request, " + bytesText(size));
            // One payload byte: no input active.
            sendReply(QStringLiteral("GPI message"), {kStartByte, kGroupStatus, kCodeData, kTypeGpi, 0x00});
            break;
        case InboundKind::DumpRequest:
            emit logLine("received dump request, " + bytesText(size));
            sendReply(QStringLiteral("dump reply"), m_programming);
            break;
        case InboundKind::Download:
            storeDownload(message.bytes);
            break;
        case InboundKind::Garbage:
            emit logLine(QStringLiteral("ignored: %1 unknown bytes").arg(size));
            break;
        case InboundKind::WrongSizeDownload:
            // Ignored whole: a box never stores part of a record, nor reads requests out of one.
            emit logLine(QStringLiteral("ignored: download of %1 bytes, expected %2")
                             .arg(size)
                             .arg(configMessageSize(m_msgLength)));
            break;
    }
}

void BoxSimulator::storeDownload(const std::vector<Byte>& message) {
    if (m_options.keepProgramming) {
        emit logLine("download " + bytesText(message.size()) + " not stored (--keep)");
        return;
    }
    const auto before = ReadConfigRecord(m_programming, m_msgLength);
    const auto after = ReadConfigRecord(message, m_msgLength);
    m_programming = message;
    QStringList changes;
    if (before && after) {
        for (const std::string& line : describeDifferences(*before, *after)) {
            changes << QString::fromStdString(line);
        }
    }
    if (changes.isEmpty()) {
        changes << QStringLiteral("no field changed");
    }
    emit logLine("download " + bytesText(message.size()) + " stored: " + changes.join(QStringLiteral("; ")));
}

void BoxSimulator::sendReply(const QString& name, const std::vector<Byte>& bytes) {
    if (m_client == nullptr) {
        return;
    }
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    const qsizetype chunk = m_options.chunkSize;
    if (chunk <= 0 || data.size() <= chunk) {
        m_chunks.push_back(data);
        emit logLine("sent " + name + ", " + bytesText(bytes.size()));
    } else {
        for (qsizetype at = 0; at < data.size(); at += chunk) {
            m_chunks.push_back(data.mid(at, chunk));
        }
        emit logLine(
            QStringLiteral("sent %1, %2 in chunks of %3").arg(name, bytesText(bytes.size())).arg(chunk));
    }
    // Pieces already waiting keep their pace; otherwise the first goes out at once.
    if (!m_chunkTimer.isActive()) {
        writeNextChunk();
    }
}

void BoxSimulator::writeNextChunk() {
    if (m_client == nullptr || m_chunks.empty()) {
        m_chunkTimer.stop();
        return;
    }
    m_client->write(m_chunks.front());
    m_chunks.pop_front();
    if (m_options.chunkSize <= 0) {
        // Whole replies go out back to back.
        while (!m_chunks.empty()) {
            m_client->write(m_chunks.front());
            m_chunks.pop_front();
        }
    }
    if (m_chunks.empty()) {
        m_chunkTimer.stop();
    } else if (!m_chunkTimer.isActive()) {
        m_chunkTimer.start();
    }
}

}  // namespace zeze::sim
