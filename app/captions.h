// The window's own texts: captions, tooltips and Activity log lines, named once.
#pragma once

#include <array>

namespace zeze::text {

inline constexpr char kTitlePrefix[] = "Zeze GPI Programmer v";
inline constexpr char kFirmwareTitleInfix[] = " - Zeze v";

inline constexpr std::array<const char*, 14> kPresetAddresses{
    "192.168.254.102", "192.168.254.103", "192.168.254.104", "192.168.254.105", "192.168.254.106",
    "192.168.254.107", "10.0.0.128",      "10.0.0.129",      "10.0.0.130",      "10.0.0.131",
    "10.0.0.132",      "10.0.0.133",      "172.16.0.128",    "172.16.0.129"};
inline constexpr char kStartPort[] = "8000";

inline constexpr std::array<const char*, 7> kSpeeds{"1200",  "2400",  "4800", "9600",
                                                    "19200", "38400", "57600"};
inline constexpr std::array<const char*, 3> kParities{"None", "Odd", "Even"};

// Captions
inline constexpr char kAddressLabel[] = "Zeze IP Address";
inline constexpr char kPortLabel[] = "Zeze TCP Port";
inline constexpr char kStateLabel[] = "Connection State";
inline constexpr char kConnect[] = "Connect";
inline constexpr char kDisconnect[] = "Disconnect";
inline constexpr char kFrame[] = "Zeze Programming";
inline constexpr char kSendToZeze[] = "Send to Zeze";
inline constexpr char kGetFromZeze[] = "Get from Zeze";
inline constexpr char kWait[] = "Wait...";
inline constexpr char kRequestGpi[] = "Request GPI";
inline constexpr char kRequestId[] = "Request ID";
inline constexpr char kSuppress[] = "Suppress Header and Status Request";
inline constexpr char kAutoChecksum[] = "Auto Calculate Checksum";
inline constexpr char kSubnetMask[] = "Subnet Mask";
inline constexpr char kGateway[] = "Gateway";
inline constexpr char kDestAddress[] = "Dest. IP Address";
inline constexpr char kDestPort[] = "Dest. TCP Port";
inline constexpr char kSerialPort[] = "Serial Port ";
inline constexpr char kPin[] = "Pin ";
inline constexpr char kSendToPorts[] = "Send to Ports";
inline constexpr char kInvert[] = "Invert";
inline constexpr char kOptions[] = "Options";
inline constexpr char kOneMachine[] = "1 Machine";
inline constexpr char kFourMachines[] = "4 Machines";
inline constexpr char kGang[] = "Gang";
inline constexpr char kReadShort[] = "Read Short";

// Tooltips
inline constexpr char kColumnHeadingTip[] = "Left click to set all, right click to clear all";
inline constexpr char kPortLabelTip[] = "Click to lock or unlock the connection port";
inline constexpr char kActivityTip[] = "Activity log; click to clear it";
inline constexpr char kCommandTip[] =
    "Command bytes as two-digit hex values separated by blanks, e.g. 20 01 21";
inline constexpr char kSendToZezeTip[] = "Write the whole sheet to the box";
inline constexpr char kGetFromZezeTip[] = "Read the box's whole programming into the sheet";
inline constexpr char kConnectTip[] = "Connect to the box at this address and port";
inline constexpr char kDisconnectTip[] = "Close the connection";
inline constexpr char kAddressTip[] = "The box's IP address or host name";
inline constexpr char kPortTip[] = "The TCP port the tool connects to";
inline constexpr char kReadShortTip[] = "Read the next dump with 30 command bytes per pin";

// Activity log lines
inline constexpr char kConnectAttempt[] = "Connect attempt";
inline constexpr char kSuccess[] = "Success!";
inline constexpr char kDisconnectLine[] = "Disconnect";
inline constexpr char kCouldntSendId[] = "Couldn't send ID request";
inline constexpr char kCouldntSendGpi[] = "Couldn't send GPI request";
inline constexpr char kCouldntSendDump[] = "Couldn't send dump request";
inline constexpr char kHintLost[] = "Hint: Connection Lost";
inline constexpr char kHintNothing[] = "Hint: Nothing at that address. Check IP address";
inline constexpr char kHintPort[] = "Hint: Couldn't connect to that Port. Check port.";
inline constexpr char kDownloadBusy[] =
    "Not sent: the previous download is still in its transfer pause. Try again when it ends.";
// %1: number of bytes dropped
inline constexpr char kPartialDropped[] = "Dropped %1 bytes from the box: the message was never completed.";

}  // namespace zeze::text
