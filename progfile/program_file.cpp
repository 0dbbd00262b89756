// The JSON form of a programming (written with a fixed layout, read with a path for every refusal) and
// the record form, which is the protocol's own encoding.
#include "progfile/program_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "model/numbers.h"
#include "protocol/config_diff.h"
#include "protocol/reply_parser.h"

namespace zeze {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr const char* kNetworkKeys[] = {"zezeAddress", "subnetMask",  "gateway",
                                        "zezePort",    "destAddress", "destPort"};
constexpr const char* kTopKeys[] = {
    "format", "version", "firmware", "pinSize", "network", "serialPorts", "suppressHeaderAndStatus", "pins"};
constexpr const char* kSerialPortKeys[] = {"port", "speed", "parity"};
constexpr const char* kPinKeys[] = {"pin", "command", "invert", "ports"};

constexpr std::size_t kMaxBytesPerPin = kLongMsgLength;

bool isHex(char c) {
    return hexDigitValue(c) >= 0;
}

// --- paths ---------------------------------------------------------------------------------------

// Refusals name an entry of the two lists as the engineer counts it ("pin 7", "serial port 2") and
// anything else by its JSON path ("network.gateway", "pins[24]" for an entry past the end).
std::string entryPath(const std::string& list, std::size_t index) {
    if (list == "pins" && index < static_cast<std::size_t>(kPinCount))
        return "pin " + std::to_string(pinNumber(static_cast<int>(index)));
    if (list == "serialPorts" && index < static_cast<std::size_t>(kSerialPortCount))
        return "serial port " + std::to_string(index + 1);
    return list + "[" + std::to_string(index) + "]";
}

std::string fieldPath(const std::string& parent, const std::string& key) {
    if (parent.empty())
        return key;
    if (parent.starts_with("pin ") || parent.starts_with("serial port "))
        return parent + " " + key;
    return parent + "." + key;
}

// Tracks where the parser is while it reads, to name the first key that appears twice in one object
// (the parser itself keeps the last one silently).
class DuplicateKeyFinder {
  public:
    bool operator()(int /*depth*/, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        switch (event) {
            case Event::object_start:
            case Event::array_start:
                if (!m_frames.empty())
                    m_frames.back().enterChild();
                m_frames.push_back(Frame{event == Event::object_start, {}, {}, {}, 0});
                break;
            case Event::key: {
                Frame& frame = m_frames.back();
                frame.key = parsed.get<std::string>();
                if (!frame.keys.insert(frame.key).second && m_duplicate.empty())
                    m_duplicate = fieldPath(pathOfTop(), frame.key);
                break;
            }
            case Event::value:
                if (!m_frames.empty() && !m_frames.back().object)
                    ++m_frames.back().count;
                break;
            case Event::object_end:
            case Event::array_end:
                m_frames.pop_back();
                break;
        }
        return true;
    }

    // The path of the first duplicated key; empty when there is none.
    const std::string& duplicate() const { return m_duplicate; }

  private:
    struct Frame {
        bool object;
        std::set<std::string> keys;
        std::string key;        // an object's current key
        std::string childName;  // how the container being read inside this one is named
        std::size_t count;      // an array's entries so far
        void enterChild() {
            childName = object ? key : std::to_string(count);
            if (!object)
                ++count;
        }
    };

    // The path of the innermost container, built the way the reader names its refusals.
    std::string pathOfTop() const {
        std::string path;
        std::string listName;
        for (std::size_t i = 0; i + 1 < m_frames.size(); ++i) {
            const Frame& frame = m_frames[i];
            if (frame.object) {
                path = fieldPath(path, frame.childName);
                listName = path;
            } else {
                path = entryPath(listName, std::stoul(frame.childName));
            }
        }
        return path;
    }

    std::vector<Frame> m_frames;
    std::string m_duplicate;
};

// --- writing ---------------------------------------------------------------------------------------

// A value on one line, with a blank after each colon and comma so a line reads like hand-written JSON.
std::string inlineText(const OrderedJson& value) {
    std::string text;
    if (value.is_object()) {
        text = "{";
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it != value.begin())
                text += ", ";
            text += Json(it.key()).dump() + ": " + inlineText(it.value());
        }
        return text + "}";
    }
    if (value.is_array()) {
        text = "[";
        for (std::size_t i = 0; i < value.size(); ++i)
            text += (i ? ", " : "") + inlineText(value[i]);
        return text + "]";
    }
    return value.dump();
}

// Top-level fields one per line; an object's fields and a list's entries one per line below them.
std::string layout(const OrderedJson& document) {
    std::string text = "{\n";
    for (auto it = document.begin(); it != document.end(); ++it) {
        if (it != document.begin())
            text += ",\n";
        text += "  " + Json(it.key()).dump() + ": ";
        const OrderedJson& value = it.value();
        if ((value.is_object() || value.is_array()) && !value.empty()) {
            const bool object = value.is_object();
            text += object ? "{\n" : "[\n";
            for (auto inner = value.begin(); inner != value.end(); ++inner) {
                if (inner != value.begin())
                    text += ",\n";
                text += "    ";
                if (object)
                    text += Json(inner.key()).dump() + ": ";
                text += inlineText(inner.value());
            }
            text += object ? "\n  }" : "\n  ]";
        } else {
            text += inlineText(value);
        }
    }
    return text + "\n}\n";
}

// A port as a number; text that is no port (never produced by a read) stays text, which reading refuses.
OrderedJson portValue(const std::string& text) {
    if (const auto number = parseWholeNumber(text, 65535))
        return *number;
    return text;
}

// --- reading ---------------------------------------------------------------------------------------

std::string kindOf(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case Json::value_t::string:
            return Json(value).dump();
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "a list";
        default:
            return value.dump();  // numbers quote themselves
    }
}

class JsonReader {
  public:
    ProgramReadResult read(std::string_view text) {
        Json document;
        DuplicateKeyFinder duplicates;
        try {
            document = Json::parse(text, std::ref(duplicates));
        } catch (const Json::parse_error& error) {
            // "[json.exception.parse_error.101] parse error at line 3, column 5: ...": keep from "parse".
            // The "last read" part quotes raw text, line breaks included; one line is kept.
            std::string what = error.what();
            what = what.substr(0, what.find("; last read"));
            const auto start = what.find("] ");
            return {std::nullopt, start == std::string::npos ? what : what.substr(start + 2)};
        }
        if (!duplicates.duplicate().empty())
            return {std::nullopt, duplicates.duplicate() + ": given twice; each field appears once"};
        ProgramFile file;
        if (!readDocument(document, file))
            return {std::nullopt, m_error};
        return {file, {}};
    }

  private:
    bool fail(const std::string& path, const std::string& reason) {
        m_error = path + ": " + reason;
        return false;
    }

    bool expectObject(const Json& value, const std::string& path) {
        return value.is_object() || fail(path, "expected an object, found " + kindOf(value));
    }

    // Every key must be known and every known key present.
    template <std::size_t N>
    bool checkKeys(const Json& object, const char* const (&keys)[N], const std::string& parent) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (std::find_if(std::begin(keys), std::end(keys),
                             [&](const char* k) { return it.key() == k; }) == std::end(keys)) {
                return fail(fieldPath(parent, it.key()), "unknown field");
            }
        }
        for (const char* key : keys) {
            if (!object.contains(key))
                return fail(fieldPath(parent, key), "missing");
        }
        return true;
    }

    bool readWhole(const Json& value, const std::string& path, long min, long max, long& out) {
        if (!value.is_number_integer() || value.get<long>() < min || value.get<long>() > max) {
            return fail(path, "expected a whole number from " + std::to_string(min) + " to " +
                                  std::to_string(max) + ", found " + kindOf(value));
        }
        out = value.get<long>();
        return true;
    }

    bool readBool(const Json& value, const std::string& path, bool& out) {
        if (!value.is_boolean())
            return fail(path, "expected true or false, found " + kindOf(value));
        out = value.get<bool>();
        return true;
    }

    bool readString(const Json& value, const std::string& path, std::string& out) {
        if (!value.is_string())
            return fail(path, "expected a string, found " + kindOf(value));
        out = value.get<std::string>();
        return true;
    }

    bool readDocument(const Json& document, ProgramFile& file) {
        if (!expectObject(document, "document") || !readableVersion(document) ||
            !checkKeys(document, kTopKeys, ""))
            return false;
        std::string format;
        if (!readString(document["format"], "format", format))
            return false;
        if (format != kProgramFormatName)
            return fail("format",
                        "expected \"" + std::string(kProgramFormatName) + "\", found " + kindOf(format));
        long version = 0;
        if (!readWhole(document["version"], "version", 1, kProgramFormatVersion, version))
            return false;
        return readFirmware(document["firmware"], file) && readPinSize(document["pinSize"], file) &&
               readNetwork(document["network"], file.values.network) &&
               readSerialPorts(document["serialPorts"], file.values) &&
               readBool(document["suppressHeaderAndStatus"], "suppressHeaderAndStatus",
                        file.values.suppressHeaderAndStatus) &&
               readPins(document["pins"], file.values);
    }

    // A later format may add fields: its version is told first, in words, before any field it added.
    bool readableVersion(const Json& document) {
        const auto version = document.find("version");
        if (version == document.end() || !version->is_number_integer() ||
            version->get<long>() <= kProgramFormatVersion)
            return true;
        return fail("version", "the file has format version " + std::to_string(version->get<long>()) +
                                   ", newer than the version " + std::to_string(kProgramFormatVersion) +
                                   " this program reads: it was written by a newer Zeze GPI Programmer or zeze");
    }

    bool readFirmware(const Json& value, ProgramFile& file) {
        if (value.is_null()) {
            file.firmwareVersion = 0;
            return true;
        }
        std::string text;
        if (!readString(value, "firmware", text))
            return false;
        // "M.mm", as the window's title shows it: the minor always has two or three digits.
        const auto dot = text.find('.');
        const auto major =
            dot == std::string::npos ? std::nullopt : parseWholeNumber(text.substr(0, dot), 255);
        const std::string minorText = dot == std::string::npos ? std::string() : text.substr(dot + 1);
        const auto minor = minorText.size() < 2 ? std::nullopt : parseWholeNumber(minorText, 255);
        if (!major || !minor || dot > 3)
            return fail("firmware", "expected a version such as \"2.10\" or null, found " + kindOf(value));
        file.firmwareVersion = static_cast<std::uint16_t>(*major * 256 + *minor);
        return true;
    }

    bool readPinSize(const Json& value, ProgramFile& file) {
        if (!value.is_number_integer() ||
            (value.get<long>() != kShortMsgLength && value.get<long>() != kLongMsgLength)) {
            return fail("pinSize", "expected 30 or 55, found " + kindOf(value));
        }
        file.msgLength = static_cast<std::uint8_t>(value.get<long>());
        return true;
    }

    bool readAddress(const Json& value, const std::string& path, IpAddressText& out) {
        std::string text;
        if (!readString(value, path, text))
            return false;
        std::array<std::string, kOctetCount> parts;
        std::size_t start = 0;
        for (int i = 0; i < kOctetCount; ++i) {
            const std::size_t dot = text.find('.', start);
            const bool last = i == kOctetCount - 1;
            if (last != (dot == std::string::npos))
                return fail(path,
                            Json(text).dump() + " is not an address of four octets such as \"10.0.0.1\"");
            parts[i] = text.substr(start, last ? std::string::npos : dot - start);
            start = dot + 1;
        }
        for (int i = 0; i < kOctetCount; ++i) {
            const auto octet = parts[i].size() <= 3 ? parseWholeNumber(parts[i], 255) : std::nullopt;
            if (!octet) {
                return fail(path, "octet " + std::to_string(i + 1) + " " + Json(parts[i]).dump() +
                                      " is not a whole number from 0 to 255");
            }
            out[kOctetCount - 1 - i] = std::to_string(*octet);
        }
        return true;
    }

    bool readNetwork(const Json& value, NetworkSettings& network) {
        if (!expectObject(value, "network") || !checkKeys(value, kNetworkKeys, "network"))
            return false;
        long zezePort = 0, destPort = 0;
        if (!readAddress(value["zezeAddress"], "network.zezeAddress", network.zezeAddress) ||
            !readAddress(value["subnetMask"], "network.subnetMask", network.subnetMask) ||
            !readAddress(value["gateway"], "network.gateway", network.gateway) ||
            !readWhole(value["zezePort"], "network.zezePort", 0, 65535, zezePort) ||
            !readAddress(value["destAddress"], "network.destAddress", network.destAddress) ||
            !readWhole(value["destPort"], "network.destPort", 0, 65535, destPort)) {
            return false;
        }
        network.zezePort = std::to_string(zezePort);
        network.destPort = std::to_string(destPort);
        return true;
    }

    // A list of exactly `count` objects whose `numberKey` runs first, first + 1, ...
    bool readNumberedList(const Json& value, const std::string& path, int count, const char* numberKey,
                          int first, const char* what) {
        if (!value.is_array())
            return fail(path, "expected a list, found " + kindOf(value));
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string entry = entryPath(path, i);
            if (static_cast<int>(i) >= count) {
                return fail(entry, "there are only " + std::to_string(count) + " " + what + "s (" +
                                       std::to_string(first) + " to " + std::to_string(first + count - 1) +
                                       ")");
            }
            if (!expectObject(value[i], entry))
                return false;
            const Json& number = value[i].contains(numberKey) ? value[i][numberKey] : Json();
            const long expected = first + static_cast<long>(i);
            if (!number.is_number_integer() || number.get<long>() != expected) {
                return fail(entry, "expected \"" + std::string(numberKey) + "\": " +
                                       std::to_string(expected) + ", found " + kindOf(number) + "; " + what +
                                       " " + std::to_string(expected) + " is missing or out of order");
            }
        }
        if (static_cast<int>(value.size()) < count) {
            return fail(path, std::string(what) + " " + std::to_string(first + value.size()) +
                                  " is missing; the list holds " + what + "s " + std::to_string(first) +
                                  " to " + std::to_string(first + count - 1) + " in order");
        }
        return true;
    }

    bool readSerialPorts(const Json& value, ConfigValues& values) {
        if (!readNumberedList(value, "serialPorts", kSerialPortCount, "port", 1, "port"))
            return false;
        for (int p = 0; p < kSerialPortCount; ++p) {
            const std::string entry = entryPath("serialPorts", static_cast<std::size_t>(p));
            const Json& port = value[p];
            if (!checkKeys(port, kSerialPortKeys, entry))
                return false;
            SerialPortSetting& setting = values.ports[p];
            const Json& speed = port["speed"];
            const auto baud = std::find_if(kSpeedBauds.begin(), kSpeedBauds.end(), [&](int b) {
                return speed.is_number_integer() && speed.get<long>() == b;
            });
            if (speed.is_null()) {
                setting.speed = kNoSelection;  // what a box's unknown speed code reads as
            } else if (baud != kSpeedBauds.end()) {
                setting.speed = static_cast<int>(baud - kSpeedBauds.begin());
            } else {
                return fail(fieldPath(entry, "speed"),
                            "expected 1200, 2400, 4800, 9600, 19200, 38400 or 57600, found " + kindOf(speed));
            }
            const Json& parity = port["parity"];
            setting.parity = kNoSelection;
            for (int p = 0; p < kParityCount; ++p) {
                if (parity.is_string() && parity.get<std::string>() == parityWord(p))
                    setting.parity = p;
            }
            if (setting.parity == kNoSelection)
                return fail(fieldPath(entry, "parity"),
                            "expected \"none\", \"odd\" or \"even\", found " + kindOf(parity));
        }
        return true;
    }

    // Two hex digits per byte, bytes separated by blanks; written back in canonical form.
    bool readCommand(const Json& value, const std::string& path, std::string& out) {
        std::string text;
        if (!readString(value, path, text))
            return false;
        out.clear();
        std::size_t count = 0;
        std::size_t pos = 0;
        while (pos < text.size()) {
            if (text[pos] == ' ' || text[pos] == '\t') {
                ++pos;
                continue;
            }
            std::size_t end = pos;
            while (end < text.size() && text[end] != ' ' && text[end] != '\t')
                ++end;
            const std::string token = text.substr(pos, end - pos);
            if (!std::all_of(token.begin(), token.end(), isHex))
                return fail(path, "byte '" + token + "' is not hex");
            if (token.size() != 2)
                return fail(path, "byte '" + token + "' is not two hex digits");
            if (++count > kMaxBytesPerPin) {
                return fail(path, "more than " + std::to_string(kMaxBytesPerPin) +
                                      " bytes; no box holds that many per pin");
            }
            if (!out.empty())
                out += ' ';
            for (char c : token)
                out += static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
            pos = end;
        }
        return true;
    }

    bool readPorts(const Json& value, const std::string& path, std::array<bool, 4>& out) {
        if (!value.is_array())
            return fail(path, "expected a list of serial ports such as [1, 3], found " + kindOf(value));
        out = {false, false, false, false};
        for (const Json& port : value) {
            if (!port.is_number_integer() || port.get<long>() < 1 || port.get<long>() > kSerialPortCount)
                return fail(path, kindOf(port) + " is not a serial port 1 to 4");
            bool& flag = out[port.get<long>() - 1];
            if (flag)
                return fail(path, "port " + kindOf(port) + " is listed twice");
            flag = true;
        }
        return true;
    }

    bool readPins(const Json& value, ConfigValues& values) {
        if (!readNumberedList(value, "pins", kPinCount, "pin", pinNumber(0), "pin"))
            return false;
        for (int row = 0; row < kPinCount; ++row) {
            const std::string entry = entryPath("pins", static_cast<std::size_t>(row));
            const Json& pin = value[row];
            PinRow& out = values.pins[row];
            if (!checkKeys(pin, kPinKeys, entry) ||
                !readCommand(pin["command"], fieldPath(entry, "command"), out.command) ||
                !readBool(pin["invert"], fieldPath(entry, "invert"), out.invert) ||
                !readPorts(pin["ports"], fieldPath(entry, "ports"), out.sendToPort)) {
                return false;
            }
        }
        return true;
    }

    std::string m_error;
};

}  // namespace

std::size_t commandByteCount(std::string_view canonicalCommand) {
    return canonicalCommand.empty() ? 0 : (canonicalCommand.size() + 1) / 3;
}

std::string programToJson(const ProgramFile& file) {
    const ConfigValues& values = file.values;
    OrderedJson document;
    document["format"] = kProgramFormatName;
    document["version"] = kProgramFormatVersion;
    document["firmware"] =
        file.firmwareVersion == 0
            ? OrderedJson()
            : OrderedJson(formatFirmware(static_cast<std::uint8_t>(file.firmwareVersion >> 8),
                                         static_cast<std::uint8_t>(file.firmwareVersion & 0xFF)));
    document["pinSize"] = file.msgLength;

    const NetworkSettings& network = values.network;
    OrderedJson& net = document["network"];
    net["zezeAddress"] = dottedAddress(network.zezeAddress);
    net["subnetMask"] = dottedAddress(network.subnetMask);
    net["gateway"] = dottedAddress(network.gateway);
    net["zezePort"] = portValue(network.zezePort);
    net["destAddress"] = dottedAddress(network.destAddress);
    net["destPort"] = portValue(network.destPort);

    OrderedJson& ports = document["serialPorts"] = OrderedJson::array();
    for (int p = 0; p < kSerialPortCount; ++p) {
        const SerialPortSetting& setting = values.ports[p];
        OrderedJson port;
        port["port"] = p + 1;
        port["speed"] = setting.speed >= 0 && setting.speed < kSpeedCount
                            ? OrderedJson(kSpeedBauds[setting.speed])
                            : OrderedJson();
        port["parity"] = setting.parity >= 0 && setting.parity < kParityCount
                             ? OrderedJson(parityWord(setting.parity))
                             : OrderedJson();
        ports.push_back(port);
    }
    document["suppressHeaderAndStatus"] = values.suppressHeaderAndStatus;

    OrderedJson& pins = document["pins"] = OrderedJson::array();
    for (int row = 0; row < kPinCount; ++row) {
        const PinRow& pinRow = values.pins[row];
        OrderedJson pin;
        pin["pin"] = pinNumber(row);
        pin["command"] = pinRow.command;
        pin["invert"] = pinRow.invert;
        OrderedJson list = OrderedJson::array();
        for (int p = 0; p < kSerialPortCount; ++p) {
            if (pinRow.sendToPort[p])
                list.push_back(p + 1);
        }
        pin["ports"] = list;
        pins.push_back(pin);
    }
    return layout(document);
}

ProgramReadResult programFromJson(std::string_view text) {
    return JsonReader().read(text);
}

ProgramReadResult programFromRecord(std::span<const Byte> bytes) {
    std::uint8_t msgLength = 0;
    if (bytes.size() == configMessageSize(kShortMsgLength)) {
        msgLength = kShortMsgLength;
    } else if (bytes.size() == configMessageSize(kLongMsgLength)) {
        msgLength = kLongMsgLength;
    } else {
        return {std::nullopt, "record: " + std::to_string(bytes.size()) + " bytes; a record has " +
                                  std::to_string(configMessageSize(kShortMsgLength)) + " (30-byte pins) or " +
                                  std::to_string(configMessageSize(kLongMsgLength)) + " (55-byte pins)"};
    }
    if (!std::equal(kConfigHeader.begin(), kConfigHeader.end(), bytes.begin()))
        return {std::nullopt, "record: does not start with FF 01 00"};
    ProgramFile file;
    file.msgLength = msgLength;
    file.values = *ReadConfigRecord(bytes, msgLength);  // the size was checked above
    return {file, {}};
}

namespace {

// The encoding of a text that is not UTF-8, told by its byte-order mark or, without one, by the zero
// bytes that JSON's first characters carry in UTF-16 or UTF-32; nothing for UTF-8 or a record.
std::optional<std::string> foreignEncoding(std::span<const Byte> bytes) {
    const auto startsWith = [&](std::initializer_list<int> prefix) {
        return bytes.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), bytes.begin(), [](int a, Byte b) { return a == b; });
    };
    if (startsWith({0xFF, 0xFE, 0, 0}) || startsWith({0, 0, 0xFE, 0xFF}))
        return "UTF-32";
    if (startsWith({0xFF, 0xFE}) || startsWith({0xFE, 0xFF}))
        return "UTF-16";
    if (bytes.size() >= 4 && ((bytes[0] == 0) + (bytes[1] == 0) + (bytes[2] == 0) + (bytes[3] == 0)) == 3)
        return "UTF-32";
    if (bytes.size() >= 2 && (bytes[0] == 0) != (bytes[1] == 0))
        return "UTF-16";
    return std::nullopt;
}

}  // namespace

ProgramReadResult readProgram(std::span<const Byte> bytes) {
    if (const auto encoding = foreignEncoding(bytes))
        return {std::nullopt, *encoding + " text: save the file as UTF-8"};
    if (!bytes.empty() && bytes[0] == kStartByte)
        return programFromRecord(bytes);
    return programFromJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> fitRefusal(const ConfigValues& values, std::uint8_t msgLength) {
    for (int row = 0; row < kPinCount; ++row) {
        const std::size_t count = commandByteCount(values.pins[row].command);
        if (count > msgLength) {
            return fieldPath(entryPath("pins", static_cast<std::size_t>(row)), "command") + ": " +
                   std::to_string(count) + " bytes, more than the " + std::to_string(msgLength) +
                   " a pin of this box holds";
        }
    }
    return std::nullopt;
}

}  // namespace zeze
