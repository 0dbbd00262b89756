#include "app/status_display.h"

#include <array>

namespace zeze {

StateLook stateLook(int state) {
    static const QColor kWhite(0xFF, 0xFF, 0xFF), kYellow(0xFF, 0xFF, 0x00), kGreen(0x00, 0xFF, 0x00),
        kRed(0xFF, 0x00, 0x00);
    static const std::array<StateLook, 10> kLooks{{
        {"Closed", kWhite},
        {"Open", kYellow},
        {"Listening", kYellow},
        {"Connection Pending", kYellow},
        {"Resolving Host", kYellow},
        {"Host Resolved", kYellow},
        {"Connecting", kYellow},
        {"Connected", kGreen},
        {"Peer is closing connection", kRed},
        {"Error", kRed},
    }};
    if (state < 0 || state >= static_cast<int>(kLooks.size()))
        return {"Unknown State", kRed};
    return kLooks[static_cast<std::size_t>(state)];
}

}  // namespace zeze
