// The three ready-made programmings of the Options menu: fixed command tables and port steering.
#include "editing/presets.h"

namespace zeze {

const std::array<std::string_view, 20> kOneMachineCommands{
    "20 00 20",
    "20 01 21",
    "20 20 40",
    "20 10 30",
    "20 02 22",
    "42 30 40 00 B2",
    "42 30 00 00 72",
    "42 30 10 00 82",
    "42 30 11 00 83",
    "42 30 13 00 85",
    "42 30 13 01 86",
    "42 30 13 03 88",
    "42 30 13 07 8C",
    // Row 13 continues the 42 30 13 xx run of rows 9..12 and, like every other entry, ends in the sum
    // of the bytes before it (0x42 + 0x30 + 0x13 + 0x0F = 0x94), unlike the miswritten "42 30 00 0F 94".
    "42 30 13 0F 94",
    "20 65 85",
    "20 64 84",
    "20 61 81",
    "20 60 80",
    "20 00 20",
    "20 00 20",
};

const std::array<std::string_view, 6> kSixCommandBlock{
    "20 00 20", "20 01 21", "20 20 40", "20 10 30", "20 02 22", "24 31 00 00 00 00 55",
};

namespace {

constexpr int kSpeed38400Position = 5;
constexpr int kBlockSize = static_cast<int>(kSixCommandBlock.size());

// The send-to-port flags a preset gives row `row`.
std::array<bool, kSerialPortCount> portsFor(Preset preset, int row) {
    switch (preset) {
        case Preset::OneMachine:
            return {true, false, false, false};
        case Preset::FourMachines: {
            std::array<bool, kSerialPortCount> ports{};
            ports[row / kBlockSize] = true;  // one block of six rows per serial port
            return ports;
        }
        case Preset::Gang:
            return {true, true, true, true};
    }
    return {true, false, false, false};
}

}  // namespace

void ApplyPreset(Sheet& sheet, Preset preset) {
    sheet.suppressHeaderAndStatus = preset != Preset::OneMachine;

    for (SerialPortSetting& port : sheet.ports) {
        port.parity = kParityOdd;
        port.speed = kSpeed38400Position;
    }

    for (int row = 0; row < kPinCount; ++row) {
        PinRow& pin = sheet.pins[row];
        pin.invert = false;
        pin.sendToPort = portsFor(preset, row);
        pin.command.clear();
    }

    switch (preset) {
        case Preset::OneMachine:
            for (std::size_t row = 0; row < kOneMachineCommands.size(); ++row) {
                sheet.pins[row].command = kOneMachineCommands[row];
            }
            for (std::size_t row = kOneMachineCommands.size(); row < kPinCount; ++row) {
                sheet.pins[row].command.clear();
            }
            break;
        case Preset::FourMachines:
            for (int row = 0; row < kPinCount; ++row) {
                sheet.pins[row].command = kSixCommandBlock[row % kBlockSize];
            }
            break;
        case Preset::Gang:
            for (int row = 0; row < kBlockSize; ++row) {
                sheet.pins[row].command = kSixCommandBlock[row];
            }
            break;
    }
}

}  // namespace zeze
