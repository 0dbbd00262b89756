// Where a box is dialled: HOST[:PORT] as the operator writes it on the command line or in a hosts file.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zeze::cli {

// The port the window offers when it starts; a box is dialled there unless a port is given.
inline constexpr quint16 kDefaultBoxPort = 8000;

struct Endpoint {
    QString host;
    quint16 port = kDefaultBoxPort;
    // "127.0.0.1:8000", "[::1]:8000": how results name the box.
    QString text() const;
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

struct EndpointResult {
    Endpoint endpoint;
    QString error;  // empty on success
};

// "host", "host:port", "[v6]:port" or a bare IPv6 address; the port strictly 1..65535.
EndpointResult parseEndpoint(const QString& text);

struct EndpointListResult {
    std::vector<Endpoint> endpoints;
    QString error;  // "line 3: ..." for the first bad line; empty on success
};

// A hosts file: one HOST[:PORT] per line; blank lines and lines starting with '#' are skipped.
EndpointListResult parseHostList(const QString& text);

}  // namespace zeze::cli
