// Reading HOST[:PORT] with the window's strict port check.
#include "cli/endpoint.h"

#include <QSet>

#include "link/tcp_socket.h"

namespace zeze::cli {

QString Endpoint::text() const {
    const QString shownHost = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1:%2").arg(shownHost).arg(port);
}

EndpointResult parseEndpoint(const QString& text) {
    const QString trimmed = text.trimmed();
    QString host = trimmed;
    QString portText;
    if (trimmed.startsWith(QLatin1Char('['))) {
        const auto close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0)
            return {{}, QStringLiteral("'%1' has no closing ']'").arg(text)};
        host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return {{}, QStringLiteral("'%1' is not HOST[:PORT]").arg(text)};
        portText = rest.mid(1);
        if (rest.isEmpty())
            portText = QString::number(kDefaultBoxPort);
    } else if (trimmed.count(QLatin1Char(':')) == 1) {
        const auto colon = trimmed.indexOf(QLatin1Char(':'));
        host = trimmed.left(colon);
        portText = trimmed.mid(colon + 1);
    } else {
        portText = QString::number(kDefaultBoxPort);  // no port, or a bare IPv6 address
    }
    if (host.isEmpty())
        return {{}, QStringLiteral("'%1' names no host").arg(text)};
    const auto port = TcpSocket::parsePort(portText);
    if (!port)
        return {{}, QStringLiteral("'%1': the port must be a whole number from 1 to 65535").arg(text)};
    return {{host, *port}, {}};
}

EndpointListResult parseHostList(const QString& text) {
    EndpointListResult result;
    // A byte-order mark some editors put before the first line is no part of the first host.
    const QStringList lines = (text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const EndpointResult parsed = parseEndpoint(line);
        if (!parsed.error.isEmpty())
            return {{}, QStringLiteral("line %1: %2").arg(i + 1).arg(parsed.error)};
        result.endpoints.push_back(parsed.endpoint);
    }
    return result;
}

std::vector<Endpoint> distinctEndpoints(const std::vector<Endpoint>& endpoints) {
    std::vector<Endpoint> distinct;
    QSet<QString> seen;
    for (const Endpoint& endpoint : endpoints) {
        const QString key = Endpoint{endpoint.host.toLower(), endpoint.port}.text();
        if (!seen.contains(key)) {
            seen.insert(key);
            distinct.push_back(endpoint);
        }
    }
    return distinct;
}

QString backupFileName(const Endpoint& endpoint, const QString& suffix) {
    const QByteArray host = endpoint.host.toUtf8().toPercentEncoding("", "_~");
    return QString::fromLatin1(host) + QLatin1Char('_') + QString::number(endpoint.port) + suffix;
}

}  // namespace zeze::cli
