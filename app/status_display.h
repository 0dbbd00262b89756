// What the connection-state box shows for a socket state number: its word and background colour.
#pragma once

#include <QColor>
#include <QString>

namespace zeze {

struct StateLook {
    QString text;
    QColor background;
};

StateLook stateLook(int state);

// Whether a tick in this state clears the tooltip (closed) or shows the local end (connecting, connected).
inline bool stateClearsTooltip(int state) {
    return state == 0;
}
inline bool stateShowsLocalEnd(int state) {
    return state == 6 || state == 7;
}

}  // namespace zeze
