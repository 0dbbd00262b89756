// The Activity log lines of the conversation with a box, named once. %1 and %2 are filled in with
// numbers where a line has them.
#pragma once

namespace zeze::text {

inline constexpr char kSuccess[] = "Success!";
inline constexpr char kCouldntSendId[] = "Couldn't send ID request";
inline constexpr char kCouldntSendGpi[] = "Couldn't send GPI request";
inline constexpr char kCouldntSendDump[] = "Couldn't send dump request";
inline constexpr char kCouldntSendDownload[] = "Couldn't send download";
inline constexpr char kIdOnLateConnect[] = "Connected after the wait: ID request sent";
inline constexpr char kConnectionLost[] = "The connection to the box was lost.";

inline constexpr char kDownloadBusy[] =
    "Not sent: the previous download is still in its transfer pause. Try again when it ends.";
inline constexpr char kDownloadNotTaken[] =
    "Couldn't send download: the connection did not take it. Nothing was written to the box.";
inline constexpr char kDownloadWhileAwaitingDump[] =
    "Not sent: Get from Zeze is still waiting for the box's programming. Try again when it has arrived.";
inline constexpr char kDownloadNoFirmware[] =
    "Not sent: the box has not told its firmware version, so the size of its programming is unknown. "
    "Nothing was written to the box.";
inline constexpr char kDownloadCancelled[] =
    "Send to Zeze cancelled by Disconnect. Nothing was written to the box.";
inline constexpr char kDownloadConnectionLost[] =
    "Send to Zeze failed: the connection ended before the box had stored the download. It may not hold it.";
inline constexpr char kRequestDuringPause[] =
    "Not sent: the box is still storing the download. Try again when it ends.";

// %1: the limit in seconds
inline constexpr char kFirmwareTimedOut[] =
    "No reply to the ID request within %1 s: the box's firmware is unknown.";
inline constexpr char kFirmwareIncomplete[] =
    "The reply to the ID request was incomplete: the box's firmware is unknown.";
// %1: the version line ("Firmware v2.10")
inline constexpr char kFirmwareUnasked[] = "%1 arrived unasked: ignored.";
// %1: the dump line ("Dump data, 1448 bytes")
inline constexpr char kDumpUnasked[] = "%1 arrived unasked: the sheet is unchanged.";

// %1: number of bytes dropped
inline constexpr char kPartialDropped[] = "Dropped %1 bytes from the box: the message was never completed.";
inline constexpr char kOutOfStepDropped[] =
    "Dropped %1 bytes from the box that began no message: its messages were out of step.";
// %1: the reply's own line ("Dump data, 1448 bytes", "Firmware v2.10")
inline constexpr char kReplyInDoubt[] =
    "%1, but other bytes came with it, so it may not be the reply: asking the box again to confirm.";
inline constexpr char kReplyLost[] =
    "No reply could be told apart from the other bytes that came: asking the box again.";
inline constexpr char kFirmwareUnconfirmed[] =
    "The box's firmware is unknown: no two of its replies to the ID request agreed.";

// %1: why a read that leaves the sheet alone (compare, verify) ended without the box's programming
inline constexpr char kReadFailed[] = "Reading the box's programming failed: %1.";

// Why "Get from Zeze" ended without the box's programming.
inline constexpr char kDumpGaveUp[] =
    "Get from Zeze failed: the box's reply was incomplete. The sheet is unchanged.";
inline constexpr char kDumpDisconnected[] = "Get from Zeze cancelled by Disconnect. The sheet is unchanged.";
inline constexpr char kDumpConnectionLost[] =
    "Get from Zeze failed: the connection ended. The sheet is unchanged.";
// %1: the limit in seconds
inline constexpr char kDumpTimedOut[] = "Get from Zeze failed: no reply within %1 s. The sheet is unchanged.";
inline constexpr char kDumpTooSlow[] =
    "Get from Zeze failed: the box's reply was not complete within %1 s. The sheet is unchanged.";
inline constexpr char kDumpNotTaken[] =
    "Couldn't send dump request: the connection did not take it. The sheet is unchanged.";
inline constexpr char kDumpUnconfirmed[] =
    "Get from Zeze failed: no two of the box's replies agreed, so none could be trusted. The sheet is "
    "unchanged.";
inline constexpr char kDumpNoFirmware[] =
    "Get from Zeze failed: the box has not told its firmware version on this connection. The sheet is "
    "unchanged.";

}  // namespace zeze::text
