// Fuzz target: BuildDownload on random sheets with hostile text. Input: lines of text, then a line of
// raw settings. Lines 1-16 are the octet boxes left to right (gateway, subnet mask, box address,
// destination address), 17 and 18 the box port and destination port, 19-42 the 24 commands; the raw
// line gives FirmwareVersion (2 bytes), the speed and parity positions of the 4 serial ports (signed
// bytes taken modulo 9 and 5, minus 1, so -1 "nothing chosen" and one past the list occur), the 24
// pins' flag bits, the suppress and "Read Short" options. Missing lines keep the fresh sheet's values.
// Property: refused, the sheet is unchanged and the line names the first bad field; accepted, the
// message has exactly 848 or 1448 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editing/command_string.h"
#include "fuzz/fuzz_check.h"
#include "protocol/config_record.h"

namespace {

using zeze::fuzz::check;

using namespace zeze;

// Whole decimal number up to `max`, blanks and tabs around it allowed; the refusal rule, stated apart
// from the codec's own parser.
std::optional<unsigned long> wholeNumber(std::string_view text, unsigned long max) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (text.size() > 5 || std::stoul(std::string(text)) > max)
        return std::nullopt;
    return std::stoul(std::string(text));
}

// The refusal line expected for `sheet`, empty when every field has an encoding.
std::string expectedRefusal(const Sheet& sheet) {
    const NetworkSettings& n = sheet.network;
    auto octets = [](const IpAddressText& address, const char* label) -> std::string {
        for (int number = 1; number <= 4; ++number) {
            const std::string& text = address[4 - number];
            if (!wholeNumber(text, 255))
                return std::string("Not sent: ") + label + " octet " + std::to_string(number) + " is \"" +
                       text + "\"; an octet must be a whole number from 0 to 255.";
        }
        return {};
    };
    auto port = [](const std::string& text, const char* label) -> std::string {
        if (wholeNumber(text, 65535))
            return {};
        return std::string("Not sent: ") + label + " is \"" + text +
               "\"; a port must be a whole number from 0 to 65535.";
    };
    for (std::string line : {octets(n.gateway, "Gateway"), octets(n.subnetMask, "Subnet Mask"),
                             octets(n.zezeAddress, "Zeze IP Address"), port(n.zezePort, "Zeze TCP Port"),
                             octets(n.destAddress, "Dest. IP Address"), port(n.destPort, "Dest. TCP Port")}) {
        if (!line.empty())
            return line;
    }
    for (int p = 0; p < 4; ++p) {
        const std::string name = "Not sent: Serial Port " + std::to_string(p + 1);
        if (sheet.ports[p].speed < 0 || sheet.ports[p].speed > 6)
            return name + " has no speed chosen.";
        if (sheet.ports[p].parity < 0 || sheet.ports[p].parity > 2)
            return name + " has no parity chosen.";
    }
    return {};
}

bool canonical(const std::string& command) {
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        const bool ok = i % 3 == 2 ? c == ' ' : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!ok)
            return false;
    }
    return command.empty() || command.size() % 3 == 2;
}

Sheet sheetFrom(std::string_view input) {
    std::vector<std::string> lines;
    while (lines.size() < 42) {
        const auto end = input.find('\n');
        if (end == std::string_view::npos)
            break;
        lines.emplace_back(input.substr(0, end));
        input.remove_prefix(end + 1);
    }
    Sheet sheet;
    IpAddressText* addresses[] = {&sheet.network.gateway, &sheet.network.subnetMask,
                                  &sheet.network.zezeAddress, &sheet.network.destAddress};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i < 16)
            (*addresses[i / 4])[3 - i % 4] = lines[i];
        else if (i == 16)
            sheet.network.zezePort = lines[i];
        else if (i == 17)
            sheet.network.destPort = lines[i];
        else
            sheet.pins[i - 18].command = lines[i];
    }
    const std::string_view raw = lines.size() == 42 ? input : std::string_view();
    auto rawByte = [&](std::size_t i) { return i < raw.size() ? static_cast<std::uint8_t>(raw[i]) : 0; };
    if (raw.size() >= 2)
        sheet.FirmwareVersion = static_cast<std::uint16_t>(rawByte(0) | rawByte(1) << 8);
    for (int p = 0; p < 4 && raw.size() >= 10; ++p) {
        sheet.ports[p].speed = rawByte(2 + p) % 9 - 1;
        sheet.ports[p].parity = rawByte(6 + p) % 5 - 1;
    }
    for (int row = 0; row < 24 && raw.size() > 10u + row; ++row) {
        const std::uint8_t bits = rawByte(10 + row);
        sheet.pins[row].invert = bits & 1;
        for (int p = 0; p < 4; ++p)
            sheet.pins[row].sendToPort[p] = (bits >> (p + 1)) & 1;
    }
    if (raw.size() >= 36) {
        sheet.suppressHeaderAndStatus = rawByte(34) & 1;
        sheet.readShort = rawByte(35) & 1;
        sheet.GPIMsgLength = (rawByte(35) & 2) ? 55 : 30;
    }
    return sheet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Sheet before = sheetFrom(std::string_view(reinterpret_cast<const char*>(data), size));
    Sheet sheet = before;
    const EncodeResult result = BuildDownload(sheet);
    const std::string refusal = expectedRefusal(before);
    check(result.error == refusal);
    if (!result.ok()) {
        check(result.message.empty() && sheet == before);
        return 0;
    }
    const bool longBox = before.FirmwareVersion >= 0x020A;
    check(result.message.size() == (longBox ? 1448u : 848u));
    check(result.message[0] == 0xFF && result.message[1] == 0x01 && result.message[2] == 0x00);
    check(result.message[15] * 256u + result.message[16] == *wholeNumber(before.network.zezePort, 65535));
    check(result.message[7] == *wholeNumber(before.network.subnetMask[3], 255));
    check(!sheet.readShort && sheet.GPIMsgLength == (longBox ? 55 : 30));
    for (int row = 0; row < 24; ++row) {
        check(canonical(sheet.pins[row].command));
        check(sheet.pins[row].command == NormalizeCommand(before.pins[row].command));
        const std::size_t at = 80 + row * (longBox ? 57u : 32u);
        check(result.message[at] ==
              std::min<std::size_t>((sheet.pins[row].command.size() + 1) / 3, longBox ? 55 : 30));
    }
    Sheet rest = sheet;
    rest.readShort = before.readShort;
    rest.GPIMsgLength = before.GPIMsgLength;
    for (int row = 0; row < 24; ++row)
        rest.pins[row].command = before.pins[row].command;
    check(rest == before);
    return 0;
}
