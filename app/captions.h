// The window's own texts: captions, tooltips and Activity log lines, named once. The lines of the
// conversation with the box are the engine's (protocol/conversation_text.h).
#pragma once

#include <array>

namespace zeze::text {

inline constexpr char kTitlePrefix[] = "Zeze GPI Programmer v";
// The tool's name as the desktop shows it, the title of its message boxes.
inline constexpr char kToolName[] = "Zeze GPI Programmer";
inline constexpr char kFirmwareTitleInfix[] = " - Zeze v";

inline constexpr std::array<const char*, 14> kPresetAddresses{
    "192.168.254.102", "192.168.254.103", "192.168.254.104", "192.168.254.105", "192.168.254.106",
    "192.168.254.107", "10.0.0.128",      "10.0.0.129",      "10.0.0.130",      "10.0.0.131",
    "10.0.0.132",      "10.0.0.133",      "172.16.0.128",    "172.16.0.129"};
inline constexpr char kStartPort[] = "8000";

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

// Menus beside "Options" (mnemonics marked with &)
inline constexpr char kFileMenu[] = "&File";
inline constexpr char kNew[] = "&New";
inline constexpr char kOpen[] = "&Open...";
inline constexpr char kSave[] = "&Save";
inline constexpr char kSaveAs[] = "Save &As...";
inline constexpr char kQuit[] = "&Quit";
inline constexpr char kEditMenu[] = "&Edit";
inline constexpr char kUndo[] = "&Undo";
inline constexpr char kRedo[] = "&Redo";
inline constexpr char kZezeMenu[] = "&Zeze";
inline constexpr char kGetMenu[] = "&Get from Zeze";
inline constexpr char kSendMenu[] = "&Send to Zeze";
inline constexpr char kCompare[] = "&Compare with Zeze";
inline constexpr char kVerifyAfterSend[] = "&Verify after Send";
inline constexpr char kHelpMenu[] = "&Help";
inline constexpr char kShortcuts[] = "&Keyboard Shortcuts";
inline constexpr char kAbout[] = "&About Zeze GPI Programmer";

// Help. The keys that belong to no menu item, each with what it does.
inline constexpr char kShortcutsTitle[] = "Keyboard Shortcuts";
inline constexpr char kAboutTitle[] = "About Zeze GPI Programmer";
inline constexpr char kKeyColumn[] = "Key";
inline constexpr char kDoesColumn[] = "Does";
inline constexpr std::array<std::array<const char*, 2>, 6> kSheetKeys{{
    {"Tab, Shift+Tab", "Next or previous control, across the screen"},
    {"Enter", "In the address or the connection port: Connect"},
    {"Space", "On a pin label: the count pattern; on a column heading: set the column in all pins"},
    {"Shift+Space", "On a column heading: clear the column in all pins"},
    {"Space", "On Send to Ports: every pin to port 1 with its row number as command"},
    {"Delete", "In the Activity log: clear it"},
}};
// %1 the version, %2 and %3 the Qt versions built with and running
inline constexpr char kAboutText[] =
    "<p><b>Zeze GPI Programmer %1</b></p>"
    "<p>Connects to one Zeze network trigger box over TCP, reads its programming into the sheet, lets you "
    "edit it and writes it back. Programming files (.json, .bin) are those of the command-line program "
    "<tt>zeze</tt>.</p><p>Built with Qt %2, running on Qt %3.</p><p>MIT licence.</p>";

// Files: the dialogs' filter, and the name a file gets without a known extension
inline constexpr char kFileFilter[] = "Programming files (*.json *.bin);;All files (*)";
inline constexpr char kOpenTitle[] = "Open Programming";
inline constexpr char kSaveTitle[] = "Save Programming";
// %1: the file's name
inline constexpr char kUnsavedText[] = "The programming in %1 has changes that are not saved.";
inline constexpr char kUnsavedQuestion[] = "Save them before closing?";
inline constexpr char kUnsavedSheetText[] = "The sheet has changes that are not saved.";
inline constexpr char kUnsavedBeforeOpen[] = "Save them before opening %1?";
inline constexpr char kJsonSuffix[] = ".json";
inline constexpr char kRecordSuffix[] = ".bin";
// %1 the file name: the window title's first part when the sheet has a file
inline constexpr char kFileTitle[] = "%1[*] - ";

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
inline constexpr char kCompareTip[] =
    "Read the box's programming and list where it differs from the sheet; the sheet is unchanged";
inline constexpr char kVerifyAfterSendTip[] =
    "After Send to Zeze, read the box's programming back and compare it with what was sent";
// %1 a tooltip, %2 its key
inline constexpr char kTipWithKey[] = "%1 (%2)";

// Accessible names and descriptions: what a screen reader says a control is and where it stands.
// Octets count from the left, so octet 1 is the box with array index 3. %1 pin number, %2 port 1..4.
inline constexpr char kAccPinLabel[] = "Pin %1";
inline constexpr char kAccPinCommand[] = "Pin %1 command";
inline constexpr char kAccPinInvert[] = "Pin %1 invert";
inline constexpr char kAccPinSendToPort[] = "Pin %1 send to port %2";
inline constexpr char kAccPinLabelKeys[] =
    "Space fills the command of pin %1 with the count pattern 01 02 03 ...";
// %1 the heading, %2 and %3 the first and last pin under it
inline constexpr char kAccHeading[] = "%1 heading over pins %2 to %3";
inline constexpr char kAccSendToPort[] = "Send to port %1";
inline constexpr char kAccColumnHeadingKeys[] =
    "Space sets this column in all 24 pins, Shift+Space clears it";
inline constexpr char kAccPortSteeringKeys[] =
    "Space sends every pin to port 1 only, not inverted, with its row number as command";
// %1 serial port 1..4
inline constexpr char kAccSerialSpeed[] = "Serial port %1 speed";
inline constexpr char kAccSerialParity[] = "Serial port %1 parity";
// %1 the address, %2 octet 1..4
inline constexpr char kAccOctet[] = "%1 octet %2";
inline constexpr char kAccDestAddress[] = "Destination IP Address";
inline constexpr char kAccDestPort[] = "Destination TCP Port";
inline constexpr char kAccZezePortSetting[] = "Zeze TCP Port setting";
inline constexpr char kAccActivityLog[] = "Activity log";
inline constexpr char kAccActivityLogKeys[] = "Activity log; click or press Delete to clear it";
inline constexpr char kAccPortLock[] = "Lock Zeze TCP Port";
inline constexpr char kAccPortLockKeys[] =
    "Space locks or unlocks the connection port; Enter connects; digits go into the port";
inline constexpr char kAccEnterConnects[] = "; Enter connects";
inline constexpr char kAccSheetScroll[] = "Programming sheet";

// Activity log lines
inline constexpr char kConnectAttempt[] = "Connect attempt";
inline constexpr char kDisconnectLine[] = "Disconnect";
inline constexpr char kHintLost[] = "Hint: Connection Lost";
inline constexpr char kHintNothing[] = "Hint: Nothing at that address. Check IP address";
inline constexpr char kHintPort[] = "Hint: Couldn't connect to that Port. Check port.";
// %1 the path and reason ("plan.json: pins[3].command: byte 'G1' is not hex")
inline constexpr char kOpenFailed[] = "Couldn't open %1";
inline constexpr char kOpenFailedTitle[] = "Couldn't open the file";
inline constexpr char kSaveFailedTitle[] = "Couldn't save the file";
inline constexpr char kCompareTitle[] = "Compare with Zeze";
inline constexpr char kSaveFailed[] = "Couldn't save %1";
// Compare and verify. %1 a count of fields, %2 "s" or nothing; the lines after name sheet -> box.
inline constexpr char kCompareSame[] = "Compare: the box holds the sheet's programming.";
inline constexpr char kCompareDiffers[] = "Compare: the box differs in %1 field%2 (sheet -> box):";
inline constexpr char kVerifySame[] = "Verified: the box holds what was sent.";
inline constexpr char kVerifyDiffers[] = "Verify failed: the box differs in %1 field%2 (sent -> box):";
inline constexpr char kReadBusy[] =
    "Not read: the box's programming is already awaited. Try again when it has arrived.";
// %1 how many more differing fields are not listed
inline constexpr char kMoreDifferences[] = "... and %1 more";

}  // namespace zeze::text
