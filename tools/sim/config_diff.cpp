// Field-by-field comparison of two sets of configuration values, written for a log line.
#include "tools/sim/config_diff.h"

#include <array>

namespace zeze::sim {

namespace {

constexpr std::array<const char*, kSpeedCount> kSpeedNames{"1200",  "2400",  "4800", "9600",
                                                           "19200", "38400", "57600"};
constexpr std::array<const char*, kParityCount> kParityNames{"None", "Odd", "Even"};

std::string addressText(const IpAddressText& octets) {
    // Element 3 holds the first octet.
    return octets[3] + "." + octets[2] + "." + octets[1] + "." + octets[0];
}

std::string listEntry(int index, const auto& names) {
    return index >= 0 && index < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(index)]
                                                                : "?";
}

std::string portsText(const PinRow& row) {
    std::string text;
    for (std::size_t i = 0; i < row.sendToPort.size(); ++i) {
        if (row.sendToPort[i]) {
            text += (text.empty() ? "" : ",") + std::to_string(i + 1);
        }
    }
    return text.empty() ? "none" : text;
}

std::string onOff(bool on) {
    return on ? "on" : "off";
}
std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

class ChangeList {
  public:
    void add(const std::string& field, const std::string& before, const std::string& after) {
        if (before != after) {
            m_text += (m_text.empty() ? "" : "; ") + field + " " + before + " -> " + after;
        }
    }
    const std::string& text() const { return m_text; }

  private:
    std::string m_text;
};

}  // namespace

std::string describeChanges(const ConfigValues& before, const ConfigValues& after) {
    ChangeList changes;
    const NetworkSettings& a = before.network;
    const NetworkSettings& b = after.network;
    changes.add("gateway", addressText(a.gateway), addressText(b.gateway));
    changes.add("mask", addressText(a.subnetMask), addressText(b.subnetMask));
    changes.add("address", addressText(a.zezeAddress), addressText(b.zezeAddress));
    changes.add("port", a.zezePort, b.zezePort);
    changes.add("destination", addressText(a.destAddress), addressText(b.destAddress));
    changes.add("destination port", a.destPort, b.destPort);
    for (std::size_t i = 0; i < before.ports.size(); ++i) {
        const std::string name = "serial " + std::to_string(i + 1);
        changes.add(name + " speed", listEntry(before.ports[i].speed, kSpeedNames),
                    listEntry(after.ports[i].speed, kSpeedNames));
        changes.add(name + " parity", listEntry(before.ports[i].parity, kParityNames),
                    listEntry(after.ports[i].parity, kParityNames));
    }
    changes.add("suppress", onOff(before.suppressHeaderAndStatus), onOff(after.suppressHeaderAndStatus));
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& p = before.pins[static_cast<std::size_t>(row)];
        const PinRow& q = after.pins[static_cast<std::size_t>(row)];
        const std::string name = "pin " + std::to_string(pinNumber(row));
        changes.add(name + " command", quoted(p.command), quoted(q.command));
        changes.add(name + " ports", portsText(p), portsText(q));
        changes.add(name + " invert", onOff(p.invert), onOff(q.invert));
    }
    return changes.text();
}

}  // namespace zeze::sim
