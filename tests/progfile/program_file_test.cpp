// The JSON programming file: its exact layout, strict reading with a path and reason for every
// refusal, the record form by its fixed offsets, and the pin-size fit.
#include <gtest/gtest.h>

#include "progfile/program_file.h"
#include "protocol/config_diff.h"

namespace zeze {
namespace {

// Defaults of a fresh sheet, with a few fields changed so that every kind of value shows.
ProgramFile sampleFile() {
    ProgramFile file;
    file.firmwareVersion = 0x020A;
    file.msgLength = 55;
    const Sheet fresh;
    file.values = configValuesOf(fresh);
    file.values.network.gateway = {"1", "0", "0", "10"};
    file.values.ports[1] = {3, kParityEven};
    file.values.pins[0].command = "20 01 21";
    file.values.pins[1].invert = true;
    file.values.pins[2].sendToPort = {true, false, true, false};
    file.values.pins[3].sendToPort = {false, false, false, false};
    return file;
}

std::string samplePinLines() {
    std::string lines =
        "    {\"pin\": 2, \"command\": \"20 01 21\", \"invert\": false, \"ports\": [1]},\n"
        "    {\"pin\": 3, \"command\": \"\", \"invert\": true, \"ports\": [1]},\n"
        "    {\"pin\": 4, \"command\": \"\", \"invert\": false, \"ports\": [1, 3]},\n"
        "    {\"pin\": 5, \"command\": \"\", \"invert\": false, \"ports\": []},\n";
    for (int pin = 6; pin <= 25; ++pin) {
        lines += "    {\"pin\": " + std::to_string(pin) +
                 ", \"command\": \"\", \"invert\": false, \"ports\": [1]}" + (pin < 25 ? ",\n" : "\n");
    }
    return lines;
}

const std::string kSampleHead = R"({
  "format": "zeze-programming",
  "version": 1,
  "firmware": "2.10",
  "pinSize": 55,
  "network": {
    "zezeAddress": "192.168.254.102",
    "subnetMask": "255.255.255.0",
    "gateway": "10.0.0.1",
    "zezePort": 23,
    "destAddress": "192.168.254.103",
    "destPort": 5000
  },
  "serialPorts": [
    {"port": 1, "speed": 38400, "parity": "odd"},
    {"port": 2, "speed": 9600, "parity": "even"},
    {"port": 3, "speed": 38400, "parity": "odd"},
    {"port": 4, "speed": 38400, "parity": "odd"}
  ],
  "suppressHeaderAndStatus": true,
  "pins": [
)";

std::string sampleJson() {
    return kSampleHead + samplePinLines() + "  ]\n}\n";
}

// The sample document with its first occurrence of `from` replaced by `to`.
std::string edited(const std::string& from, const std::string& to) {
    std::string text = sampleJson();
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string errorOf(const std::string& text) {
    const ProgramReadResult result = programFromJson(text);
    EXPECT_FALSE(result.file.has_value());
    return result.error;
}

TEST(ProgramJson, WritesTheDocumentLayout) {
    EXPECT_EQ(programToJson(sampleFile()), sampleJson());
}

TEST(ProgramJson, UnknownFirmwareAndUnchosenSpeedAreNull) {
    ProgramFile file = sampleFile();
    file.firmwareVersion = 0;
    file.values.ports[2].speed = kNoSelection;
    const std::string text = programToJson(file);
    EXPECT_NE(text.find("\"firmware\": null,"), std::string::npos);
    EXPECT_NE(text.find("{\"port\": 3, \"speed\": null, \"parity\": \"odd\"}"), std::string::npos);
    const ProgramReadResult back = programFromJson(text);
    ASSERT_TRUE(back.file) << back.error;
    EXPECT_EQ(back.file->firmwareVersion, 0);
    EXPECT_EQ(back.file->values.ports[2].speed, kNoSelection);
}

TEST(ProgramJson, ReadsTheDocumentIntoTheSheetsValues) {
    const ProgramReadResult result = programFromJson(sampleJson());
    ASSERT_TRUE(result.file) << result.error;
    EXPECT_EQ(result.file->firmwareVersion, 0x020A);
    EXPECT_EQ(result.file->msgLength, 55);
    const ConfigValues& values = result.file->values;
    EXPECT_EQ(values.network.gateway, (IpAddressText{"1", "0", "0", "10"}));
    EXPECT_EQ(values.network.zezePort, "23");
    EXPECT_EQ(values.ports[1].speed, 3);
    EXPECT_EQ(values.ports[1].parity, kParityEven);
    EXPECT_EQ(values.pins[0].command, "20 01 21");
    EXPECT_TRUE(values.pins[1].invert);
    EXPECT_EQ(values.pins[2].sendToPort, (std::array<bool, 4>{true, false, true, false}));
    EXPECT_EQ(values.pins[3].sendToPort, (std::array<bool, 4>{false, false, false, false}));
    EXPECT_EQ(*result.file, sampleFile());
}

TEST(ProgramJson, HandEditsAreReadInCanonicalForm) {
    std::string text = edited("\"20 01 21\"", "\"  20 01   2a\\tff \"");
    text.replace(text.find("\"10.0.0.1\""), 10, "\"10.0.000.7\"");
    const ProgramReadResult result = programFromJson(text);
    ASSERT_TRUE(result.file) << result.error;
    EXPECT_EQ(result.file->values.pins[0].command, "20 01 2A FF");
    EXPECT_EQ(result.file->values.network.gateway, (IpAddressText{"7", "0", "0", "10"}));
}

TEST(ProgramJson, RefusesBadDocumentsWithPathAndReason) {
    EXPECT_EQ(errorOf(edited("\"20 01 21\"", "\"20 G1 21\"")), "pin 2 command: byte 'G1' is not hex");
    EXPECT_EQ(errorOf(edited("\"20 01 21\"", "\"20 1 21\"")),
              "pin 2 command: byte '1' is not two hex digits");
    EXPECT_EQ(errorOf(edited("\"invert\": true", "\"invert\": \"yes\"")),
              "pin 3 invert: expected true or false, found \"yes\"");
    EXPECT_EQ(errorOf(edited("\"zezePort\": 23", "\"zezePort\": \"23\"")),
              "network.zezePort: expected a whole number from 0 to 65535, found \"23\"");
    EXPECT_EQ(errorOf(edited("\"destPort\": 5000", "\"destPort\": 70000")),
              "network.destPort: expected a whole number from 0 to 65535, found 70000");
    EXPECT_EQ(errorOf(edited("\"10.0.0.1\"", "\"10.0.300.1\"")),
              "network.gateway: octet 3 \"300\" is not a whole number from 0 to 255");
    EXPECT_EQ(errorOf(edited("\"10.0.0.1\"", "\"10.0.1\"")),
              "network.gateway: \"10.0.1\" is not an address of four octets such as \"10.0.0.1\"");
    EXPECT_EQ(errorOf(edited("\"speed\": 9600", "\"speed\": 9601")),
              "serial port 2 speed: expected 1200, 2400, 4800, 9600, 19200, 38400 or 57600, found 9601");
    EXPECT_EQ(errorOf(edited("\"parity\": \"even\"", "\"parity\": \"Even\"")),
              "serial port 2 parity: expected \"none\", \"odd\" or \"even\", found \"Even\"");
    EXPECT_EQ(errorOf(edited("\"ports\": [1, 3]", "\"ports\": [1, 5]")),
              "pin 4 ports: 5 is not a serial port 1 to 4");
    EXPECT_EQ(errorOf(edited("\"pinSize\": 55", "\"pinSize\": 40")), "pinSize: expected 30 or 55, found 40");
    EXPECT_EQ(errorOf(edited("\"firmware\": \"2.10\"", "\"firmware\": \"2.1\"")),
              "firmware: expected a version such as \"2.10\" or null, found \"2.1\"");
    EXPECT_EQ(errorOf(edited("\"format\": \"zeze-programming\"", "\"format\": \"other\"")),
              "format: expected \"zeze-programming\", found \"other\"");
    EXPECT_EQ(errorOf(edited("\"version\": 1", "\"version\": 0")),
              "version: expected a whole number from 1 to 1, found 0");
    // A newer format is named as such, before any field it may have added.
    const std::string newer = "version: the file has format version 2, newer than the version 1 this program "
                              "reads: it was written by a newer Zeze GPI Programmer or zeze";
    EXPECT_EQ(errorOf(edited("\"version\": 1", "\"version\": 2")), newer);
    EXPECT_EQ(errorOf(edited("\"version\": 1,", "\"version\": 2, \"label\": \"rack 3\",")), newer);
    EXPECT_EQ(errorOf(edited("\"gateway\"", "\"gatway\"")), "network.gatway: unknown field");
    EXPECT_EQ(errorOf(edited("\"suppressHeaderAndStatus\": true,\n", "")),
              "suppressHeaderAndStatus: missing");
    EXPECT_EQ(errorOf("[1, 2]"), "document: expected an object, found a list");
    EXPECT_EQ(
        errorOf(edited("\"version\": 1,", "\"version\": 1")),
        "parse error at line 4, column 12: syntax error while parsing object - unexpected string literal; "
        "expected '}'");
}

TEST(ProgramJson, RefusesAFieldGivenTwiceWithItsPath) {
    EXPECT_EQ(
        errorOf(edited("\"command\": \"20 01 21\",", "\"command\": \"20 01 21\", \"command\": \"00\",")),
        "pin 2 command: given twice; each field appears once");
    EXPECT_EQ(errorOf(edited("\"parity\": \"even\"", "\"parity\": \"even\", \"parity\": \"odd\"")),
              "serial port 2 parity: given twice; each field appears once");
    EXPECT_EQ(errorOf(edited("\"gateway\": \"10.0.0.1\",",
                             "\"gateway\": \"10.0.0.1\", \"gateway\": \"10.0.0.1\",")),
              "network.gateway: given twice; each field appears once");
    EXPECT_EQ(errorOf(edited("\"version\": 1,", "\"version\": 1, \"version\": 1,")),
              "version: given twice; each field appears once");
    // Pin 25, the last entry: the entries before it are counted right.
    EXPECT_EQ(
        errorOf(edited("{\"pin\": 25, \"command\": \"\",", "{\"pin\": 25, \"command\": \"\", \"pin\": 25,")),
        "pin 25 pin: given twice; each field appears once");
    // The same key in different objects is no duplicate.
    EXPECT_TRUE(programFromJson(sampleJson()).file);
}

TEST(ProgramJson, NamesAnEncodingOtherThanUtf8) {
    const std::string utf8 = sampleJson();
    std::vector<Byte> littleEndian{0xFF, 0xFE};
    std::vector<Byte> bigEndianNoMark;
    for (char c : utf8) {
        littleEndian.insert(littleEndian.end(), {static_cast<Byte>(c), 0});
        bigEndianNoMark.insert(bigEndianNoMark.end(), {0, static_cast<Byte>(c)});
    }
    EXPECT_EQ(readProgram(littleEndian).error, "UTF-16 text: save the file as UTF-8");
    EXPECT_EQ(readProgram(bigEndianNoMark).error, "UTF-16 text: save the file as UTF-8");
    EXPECT_EQ(readProgram(std::vector<Byte>{'{', 0, 0, 0}).error, "UTF-32 text: save the file as UTF-8");
    // UTF-8 with a byte-order mark is still UTF-8.
    std::vector<Byte> marked{0xEF, 0xBB, 0xBF};
    marked.insert(marked.end(), utf8.begin(), utf8.end());
    const ProgramReadResult read = readProgram(marked);
    ASSERT_TRUE(read.file) << read.error;
    EXPECT_EQ(*read.file, sampleFile());
}

TEST(ProgramJson, RefusesAMissingOrMisplacedPin) {
    EXPECT_EQ(
        errorOf(edited("    {\"pin\": 9, \"command\": \"\", \"invert\": false, \"ports\": [1]},\n", "")),
        "pin 9: expected \"pin\": 9, found 10; pin 9 is missing or out of order");
    EXPECT_EQ(
        errorOf(edited(",\n    {\"pin\": 25, \"command\": \"\", \"invert\": false, \"ports\": [1]}", "")),
        "pins: pin 25 is missing; the list holds pins 2 to 25 in order");
    EXPECT_EQ(errorOf(edited("\"ports\": []}", "\"ports\": []}, {}")),
              "pin 6: expected \"pin\": 6, found null; pin 6 is missing or out of order");
}

TEST(ProgramJson, RefusesMoreBytesThanAnyBoxHolds) {
    std::string command = "00";
    for (int i = 1; i < 56; ++i)
        command += " 00";
    EXPECT_EQ(errorOf(edited("\"20 01 21\"", "\"" + command + "\"")),
              "pin 2 command: more than 55 bytes; no box holds that many per pin");
}

TEST(ProgramFit, NamesTheFirstPinTooLongForTheBox) {
    ConfigValues values = sampleFile().values;
    std::string command = "11";
    for (int i = 1; i < 31; ++i)
        command += " 11";
    values.pins[3].command = command;  // 31 bytes
    EXPECT_EQ(fitRefusal(values, 30), "pin 5 command: 31 bytes, more than the 30 a pin of this box holds");
    EXPECT_EQ(fitRefusal(values, 55), std::nullopt);
    values.pins[3].command = command.substr(0, 89);  // 30 bytes
    EXPECT_EQ(fitRefusal(values, 30), std::nullopt);
    std::string longest = command.substr(0, 89);
    for (int i = 30; i < 55; ++i)
        longest += " 11";
    values.pins[23].command = longest;  // 55 bytes: the most a long box holds
    EXPECT_EQ(fitRefusal(values, 55), std::nullopt);
    EXPECT_EQ(fitRefusal(values, 30), "pin 25 command: 55 bytes, more than the 30 a pin of this box holds");
}

// A record of `size` bytes: header, then zeros but for the bytes put at `offset`.
std::vector<Byte> record(std::size_t size, std::size_t offset, std::initializer_list<Byte> values) {
    std::vector<Byte> bytes(size, 0);
    bytes[0] = 0xFF;
    bytes[1] = 0x01;
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return bytes;
}

TEST(ProgramRecord, ReadsShortAndLongRecordsByTheirSize) {
    // Pin 3 is the second pin record: at 80 + 32 for 30-byte pins, 80 + 57 for 55.
    std::vector<Byte> shortRecord = record(848, 112, {0x02, 0x85, 0xAB, 0x01});
    shortRecord[3] = 10, shortRecord[6] = 1;  // gateway 10.0.0.1
    const ProgramReadResult shortRead = readProgram(shortRecord);
    ASSERT_TRUE(shortRead.file) << shortRead.error;
    EXPECT_EQ(shortRead.file->msgLength, 30);
    EXPECT_EQ(shortRead.file->firmwareVersion, 0);
    EXPECT_EQ(dottedAddress(shortRead.file->values.network.gateway), "10.0.0.1");
    EXPECT_EQ(shortRead.file->values.pins[1].command, "AB 01");
    EXPECT_TRUE(shortRead.file->values.pins[1].invert);
    EXPECT_EQ(shortRead.file->values.pins[1].sendToPort, (std::array<bool, 4>{true, false, true, false}));

    const ProgramReadResult longRead = readProgram(record(1448, 137, {0x01, 0x08, 0x7E}));
    ASSERT_TRUE(longRead.file) << longRead.error;
    EXPECT_EQ(longRead.file->msgLength, 55);
    EXPECT_EQ(longRead.file->values.pins[1].command, "7E");
    EXPECT_EQ(longRead.file->values.pins[1].sendToPort, (std::array<bool, 4>{false, false, false, true}));
}

TEST(ProgramRecord, RefusesOtherSizesAndHeaders) {
    EXPECT_EQ(readProgram(record(847, 0, {})).error,
              "record: 847 bytes; a record has 848 (30-byte pins) or 1448 (55-byte pins)");
    EXPECT_EQ(readProgram(record(848, 2, {0x05})).error, "record: does not start with FF 01 00");
    EXPECT_EQ(readProgram(std::vector<Byte>{}).error,
              "parse error at line 1, column 1: syntax error while parsing value - unexpected end of input; "
              "expected '[', '{', or a literal");
}

}  // namespace
}  // namespace zeze
