// Field-by-field comparison of two programmings, worded as the operator knows the fields.
#include "protocol/config_diff.h"

namespace zeze {
namespace {

constexpr char kNothing[] = "(none)";

void compare(std::vector<std::string>& lines, const std::string& field, const std::string& from,
             const std::string& to) {
    if (from != to)
        lines.push_back(field + ": " + (from.empty() ? kNothing : from) + " -> " +
                        (to.empty() ? kNothing : to));
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

std::string speedText(int speed) {
    return speed >= 0 && speed < kSpeedCount ? std::to_string(kSpeedBauds[speed]) : std::string();
}

std::string portsText(const std::array<bool, 4>& ports) {
    std::string text;
    for (int p = 0; p < kSerialPortCount; ++p) {
        if (ports[p])
            text += (text.empty() ? "" : ",") + std::to_string(p + 1);
    }
    return text;
}

}  // namespace

std::string dottedAddress(const IpAddressText& address) {
    return address[3] + "." + address[2] + "." + address[1] + "." + address[0];
}

std::string parityWord(int parity) {
    std::string word = parity >= 0 && parity < kParityCount ? kParityNames[parity] : "";
    for (char& c : word)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return word;
}

std::vector<std::string> describeDifferences(const ConfigValues& from, const ConfigValues& to) {
    std::vector<std::string> lines;
    const NetworkSettings& a = from.network;
    const NetworkSettings& b = to.network;
    compare(lines, "gateway", dottedAddress(a.gateway), dottedAddress(b.gateway));
    compare(lines, "subnet mask", dottedAddress(a.subnetMask), dottedAddress(b.subnetMask));
    compare(lines, "zeze address", dottedAddress(a.zezeAddress), dottedAddress(b.zezeAddress));
    compare(lines, "zeze port", a.zezePort, b.zezePort);
    compare(lines, "dest address", dottedAddress(a.destAddress), dottedAddress(b.destAddress));
    compare(lines, "dest port", a.destPort, b.destPort);
    for (int p = 0; p < kSerialPortCount; ++p) {
        const std::string name = "serial port " + std::to_string(p + 1);
        compare(lines, name + " speed", speedText(from.ports[p].speed), speedText(to.ports[p].speed));
        compare(lines, name + " parity", parityWord(from.ports[p].parity), parityWord(to.ports[p].parity));
    }
    compare(lines, "suppress header and status", yesNo(from.suppressHeaderAndStatus),
            yesNo(to.suppressHeaderAndStatus));
    for (int row = 0; row < kPinCount; ++row) {
        const std::string name = "pin " + std::to_string(pinNumber(row));
        const PinRow& x = from.pins[row];
        const PinRow& y = to.pins[row];
        compare(lines, name + " command", x.command, y.command);
        compare(lines, name + " invert", yesNo(x.invert), yesNo(y.invert));
        compare(lines, name + " ports", portsText(x.sendToPort), portsText(y.sendToPort));
    }
    return lines;
}

}  // namespace zeze
