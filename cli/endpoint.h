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

// A hosts file: one HOST[:PORT] per line; '#' starts a comment, on a line of its own or after a host;
// blank lines are skipped.
EndpointListResult parseHostList(const QString& text);

// Each box once, in the order first given: the same host (case aside) and port twice is one box.
std::vector<Endpoint> distinctEndpoints(const std::vector<Endpoint>& endpoints);

// A file name for a backup of the box, from which its HOST:PORT can be read back: the host with every
// character other than letters, digits, '.' and '-' written as %XX, '_', the port, `suffix`:
// "10.0.0.5_8000.json", "%3A%3A1_8000.json" for [::1]:8000.
QString backupFileName(const Endpoint& endpoint, const QString& suffix);

}  // namespace zeze::cli
