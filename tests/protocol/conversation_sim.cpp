// A deterministic simulation of the conversation engine against scripted boxes on a virtual clock.
// Each seed makes one session: a box with its own manners (late, in pieces, cut, twice, unasked,
// chatty, glued, resetting) and either an operator who clicks Connect, Get, Send, Disconnect and edits
// at random times, or one of zeze's fixed jobs. After every step the promises of the engine are checked
// against the box's own record of what happened. A failure prints its seed; --seed N replays it with
// every step shown.
//
//   conversation_sim [--sessions N] [--first SEED] [--seed N] [--verbose]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editing/command_string.h"
#include "progfile/program_file.h"
#include "protocol/box_job.h"
#include "protocol/config_record.h"
#include "protocol/conversation.h"

namespace zeze::sim {
namespace {

using namespace std::chrono_literals;

// SplitMix64: the same numbers on every machine and library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    Millis ms(int from, int to) { return Millis(from + below(to - from + 1)); }

  private:
    std::uint64_t m_state;
};

struct Violation {
    std::string what;
};

[[noreturn]] void violated(const std::string& what) {
    throw Violation{what};
}

void require(bool ok, const std::string& what) {
    if (!ok)
        violated(what);
}

std::string hex(const std::vector<Byte>& bytes, std::size_t most = 8) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < most; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
        text += ' ';
    }
    if (bytes.size() > most)
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

// How a box misbehaves, drawn once per session. Percentages are per reply or per second.
struct Manners {
    int latencyLate = 0;     // % of replies that come 2..15 s late
    int pieces = 0;          // % of replies in pieces
    int cut = 0;             // % of dumps cut, their rest late or never
    int twice = 0;           // % of replies sent again later
    int ignore = 0;          // % of requests not answered at all
    int chatterEveryMs = 0;  // a status message this often (0: never)
    int glue = 0;            // % of replies glued behind a status message
    int unasked = 0;         // % per second of an unasked dump or firmware reply
    int resetPerMinute = 0;  // how often the box drops the connection
    int wrongSize = 0;       // % of dumps at the other pin size
};

Manners drawManners(Random& random) {
    Manners m;
    if (random.chance(25))
        return m;  // a good box
    m.latencyLate = random.below(40);
    m.pieces = random.below(80);
    m.cut = random.below(30);
    m.twice = random.below(20);
    m.ignore = random.below(20);
    m.chatterEveryMs = random.chance(50) ? 300 + random.below(3000) : 0;
    m.glue = random.below(50);
    m.unasked = random.below(4);
    m.resetPerMinute = random.below(3);
    m.wrongSize = random.below(10);
    return m;
}

ConfigValues randomValues(Random& random, std::uint8_t msgLength) {
    Sheet sheet;
    for (auto& octet : sheet.network.gateway)
        octet = std::to_string(random.below(256));
    sheet.network.destPort = std::to_string(random.below(65536));
    for (auto& port : sheet.ports) {
        port.speed = random.below(kSpeedCount);
        port.parity = random.below(kParityCount);
    }
    for (PinRow& pin : sheet.pins) {
        std::vector<Byte> bytes(static_cast<std::size_t>(random.below(msgLength + 1)));
        // Now and then what looks like the start of a message, so that the rest of a cut dump can.
        const bool lookalike = random.chance(15) && bytes.size() >= 6;
        const std::vector<Byte> header = random.chance(50)
                                             ? std::vector<Byte>{0xFF, 0x00, 0x00, 0x05, 0x00, 0x02}
                                             : std::vector<Byte>{0xFF, 0x01, 0x00};
        std::string text;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            Byte& b = bytes[i];
            if (lookalike && i < header.size())
                b = header[i];
            else
                b = random.chance(10) ? Byte{0xFF} : static_cast<Byte>(random.below(6));
            static constexpr char kDigits[] = "0123456789ABCDEF";
            if (!text.empty())
                text += ' ';
            text += kDigits[b >> 4];
            text += kDigits[b & 0xF];
        }
        pin.command = text;
        pin.invert = random.chance(30);
        pin.sendToPort = {random.chance(50), random.chance(50), random.chance(50), random.chance(50)};
    }
    return configValuesOf(sheet);
}

// The scripted box, reading the tool's messages by their exact bytes (its own reading, not the
// engine's), and the TCP stream between them on the virtual clock.
struct Box {
    std::uint16_t firmware = 0x020A;
    std::uint8_t msgLength = kLongMsgLength;
    std::vector<Byte> programming;  // the download it stores, header included
    Manners manners;
    TimePoint storingUntil{};
    bool storing = false;
    int storedDownloads = 0;
    int corruptedDownloads = 0;
    std::vector<std::vector<Byte>> dumpsSent;  // every dump reply it sent, as whole messages
};

struct Event {
    enum Kind { Arrival, LinkUp, WaitOver, PeerEnds, User, Chatter, Wake } kind;
    std::uint64_t connection = 0;
    std::vector<Byte> bytes;
    bool endsFirmwareReply = false;  // the last piece of a firmware reply
};

class Session {
  public:
    Session(std::uint64_t seed, bool verbose) : m_seed(seed), m_random(seed), m_verbose(verbose) {}

    void run() {
        setUpBox();
        m_zeze = m_random.chance(30);
        if (m_zeze)
            runJob();
        else
            runOperator();
    }
    std::uint64_t steps() const { return m_steps; }

  private:
    // --- the box -------------------------------------------------------------------------------------
    void setUpBox() {
        m_box.manners = drawManners(m_random);
        const int kind = m_random.below(3);
        m_box.firmware = kind == 0 ? 0x0209 : kind == 1 ? 0x020A : 0x0300;
        m_box.msgLength = msgLengthForFirmware(m_box.firmware);
        m_box.programming =
            EncodeConfigMessage(randomValues(m_random, m_box.msgLength), m_box.msgLength).message;
    }

    // Puts bytes on the wire from the box, in order after everything it sent before.
    void deliver(std::vector<Byte> bytes, Millis after) {
        const bool firmware =
            bytes.size() >= kFirmwareReplyLength &&
            std::equal(bytes.end() - kFirmwareReplyLength, bytes.end(), firmwareReply().begin());
        TimePoint at = std::max(m_now + after, m_lastDelivery);
        const Manners& m = m_box.manners;
        std::size_t at_byte = 0;
        while (at_byte < bytes.size()) {
            std::size_t piece = bytes.size() - at_byte;
            if (m_random.chance(m.pieces))
                piece = std::min<std::size_t>(piece, 1 + static_cast<std::size_t>(m_random.below(600)));
            Event event{Event::Arrival, m_connection,
                        std::vector<Byte>(bytes.begin() + static_cast<std::ptrdiff_t>(at_byte),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(at_byte + piece))};
            at_byte += piece;
            event.endsFirmwareReply = firmware && at_byte == bytes.size();
            schedule(at, std::move(event));
            if (at_byte < bytes.size())
                at += m_random.chance(90) ? m_random.ms(0, 1500) : m_random.ms(1500, 6000);
        }
        m_lastDelivery = at;
    }

    void reply(std::vector<Byte> bytes) {
        const Manners& m = m_box.manners;
        if (m_random.chance(m.ignore))
            return;
        Millis latency = m_random.chance(m.latencyLate) ? m_random.ms(2000, 15000) : m_random.ms(0, 300);
        const bool dump = bytes.size() > 6;
        if (m_random.chance(m.glue) && m.chatterEveryMs > 0) {
            // A status message just before the reply, in the same arrival unless it is cut there.
            std::vector<Byte> glued{0xFF, 0x00, 0x00, static_cast<Byte>(m_random.below(5))};
            glued.insert(glued.end(), bytes.begin(), bytes.end());
            bytes.swap(glued);
        }
        if (dump && m_random.chance(m.cut)) {
            std::size_t cut =
                1 + static_cast<std::size_t>(m_random.below(static_cast<int>(bytes.size()) - 1));
            // Often just before what looks like a message, the worst place for its rest to start.
            while (m_random.chance(70) && cut < bytes.size() - 1 && bytes[cut] != 0xFF)
                ++cut;
            std::vector<Byte> head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            deliver(head, latency);
            // The rest comes late (nothing can overtake it on the stream), or never: then the box is
            // quiet for a while before it sends anything else.
            if (m_random.chance(50))
                deliver(std::vector<Byte>(bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()),
                        latency + m_random.ms(2000, 12000));
            else
                m_lastDelivery += ConversationLimits{}.silence + m_random.ms(1, 3000);
            return;
        }
        deliver(bytes, latency);
        if (dump && bytes.size() != configMessageSize(m_box.msgLength) + (bytes[1] == 0x00 ? 4 : 0)) {
            // A reply of the wrong size has no end the tool could see but silence: the box keeps quiet.
            m_lastDelivery += ConversationLimits{}.silence + m_random.ms(1, 3000);
        } else if (m_random.chance(m.twice)) {
            deliver(bytes, latency + m_random.ms(0, 15000));
        }
    }

    // A reply nobody asked for; one of the wrong size is followed by quiet, as in reply().
    void sendUnasked() {
        const std::vector<Byte> bytes = m_random.chance(50) ? firmwareReply() : dumpReply();
        deliver(bytes, 0ms);
        if (bytes.size() > kFirmwareReplyLength && bytes.size() != configMessageSize(m_box.msgLength))
            m_lastDelivery += ConversationLimits{}.silence + m_random.ms(1, 3000);
    }

    // The tool's pause for a download of this size.
    static Millis pauseFor(const std::vector<Byte>& download) {
        return transferPause(download.size() == configMessageSize(kLongMsgLength) ? kLongMsgLength
                                                                                  : kShortMsgLength);
    }

    // Bytes the tool cannot place have come on this connection: a reply of the wrong size, or dumps
    // of a long box read short. Which dump or firmware reply their rest looks like is then not the
    // tool's to know, and the checks that hold what it read to the box's bytes are off.
    bool unplaceable() const { return m_readShortOnLongBox || m_wrongSizeSent; }

    std::vector<Byte> firmwareReply() const {
        return {0xFF,
                0x00,
                0x00,
                0x05,
                static_cast<Byte>(m_box.firmware & 0xFF),
                static_cast<Byte>(m_box.firmware >> 8)};
    }

    std::vector<Byte> dumpReply() {
        std::vector<Byte> dump = m_box.programming;
        dump[1] = 0x01;
        dump[2] = 0x00;
        if (m_random.chance(m_box.manners.wrongSize)) {
            const std::uint8_t other = m_box.msgLength == kLongMsgLength ? kShortMsgLength : kLongMsgLength;
            dump.resize(configMessageSize(other), 0);
        }
        m_box.dumpsSent.push_back(dump);
        m_wrongSizeSent = m_wrongSizeSent || dump.size() != configMessageSize(m_box.msgLength);
        return dump;
    }

    // What the box does with one message from the tool (the tool sends each message in one piece).
    void boxReceives(const std::vector<Byte>& message) {
        if (m_box.storing && m_now < m_box.storingUntil) {
            // The box takes anything now as part of the download it is storing: that download is lost.
            ++m_box.corruptedDownloads;
            violated("sent " + hex(message) + "while the box was still storing a download");
        }
        m_box.storing = false;
        if (message == std::vector<Byte>{0xFF, 0x00, 0x02}) {
            reply(firmwareReply());
        } else if (message == std::vector<Byte>{0xFF, 0x01, 0x01}) {
            reply(dumpReply());
        } else if (message == std::vector<Byte>{0xFF, 0x00, 0x01}) {
            reply({0xFF, 0x00, 0x00, 0x04});
        } else if (message.size() >= 3 && message[0] == 0xFF && message[1] == 0x01 && message[2] == 0x00) {
            require(message.size() == configMessageSize(m_box.msgLength) || unplaceable(),
                    "a download of " + std::to_string(message.size()) + " bytes to a box of " +
                        std::to_string(configMessageSize(m_box.msgLength)));
            require(m_firmwareDelivered, "a download before this connection's firmware reply had arrived");
            m_box.programming = message;
            m_box.storing = true;
            m_box.storingUntil = m_now + pauseFor(message);
            ++m_box.storedDownloads;
        } else {
            violated("the box got " + hex(message));
        }
    }

    // --- the clock -----------------------------------------------------------------------------------
    void schedule(TimePoint at, Event event) {
        m_events.emplace(std::make_pair(at, m_sequence++), std::move(event));
    }

    // The next thing to happen: a scheduled event or the engine's wake-up, whichever is first.
    bool nextStep(std::optional<TimePoint> wake, Event& event) {
        const bool hasEvent = !m_events.empty();
        if (!hasEvent && !wake)
            return false;
        if (hasEvent && (!wake || m_events.begin()->first.first <= *wake)) {
            m_now = std::max(m_now, m_events.begin()->first.first);
            event = std::move(m_events.begin()->second);
            m_events.erase(m_events.begin());
            return true;
        }
        require(*wake >= m_now - 1ms, "a wake-up asked for in the past");
        m_now = std::max(m_now, *wake);
        event = Event{Event::Wake, 0, {}};
        return true;
    }

    void trace(const std::string& line) {
        if (m_verbose)
            std::printf("%8.3f s  %s\n", std::chrono::duration<double>(m_now - TimePoint{}).count(),
                        line.c_str());
    }

    // --- the operator at the window --------------------------------------------------------------------
    enum class Link { Closed, Connecting, Up, Ended };

    // What the window does with the engine's answer; checks the promises about it.
    void carryOut(Effects effects, const Sheet& before, const char* step) {
        ++m_steps;
        bool downloadSent = false;
        for (const std::string& line : effects.lines)
            trace(std::string("  log: ") + line);
        for (const std::vector<Byte>& message : effects.sends) {
            if (m_link != Link::Up) {
                trace("  send refused: " + hex(message));
                Effects refused = m_engine->sendRefused(m_now);
                effects.sheetChanged = effects.sheetChanged || refused.sheetChanged;
                if (refused.dumpFailed)
                    effects.dumpFailed = refused.dumpFailed;
                continue;
            }
            trace("  send: " + hex(message));
            if (message == std::vector<Byte>{0xFF, 0x01, 0x01})
                m_dumpAskedAt = m_now;
            if (message == std::vector<Byte>{0xFF, 0x00, 0x02} && !m_idAskedAt)
                m_idAskedAt = m_now;
            boxReceives(message);
            if (message.size() > 3) {
                require(!m_getOutstanding, "a download while a Get was awaited");
                m_downloadPending = false;
                downloadSent = true;
                m_pauseUntil = m_now + pauseFor(message);
            }
        }
        checkSheet(effects, before, step, downloadSent);
        if (m_verbose) {
            const auto wake = m_engine->wakeAt();
            trace("  held " + std::to_string(m_engine->heldBytes()) +
                  (wake ? ", wake in " + std::to_string((*wake - m_now).count() / 1000000) + " ms" : ""));
        }
        if (effects.dump || effects.dumpFailed) {
            m_getOutstanding = false;
            m_dumpAskedAt.reset();
        }
        if (effects.downloadRefused)
            m_downloadPending = false;
        if (effects.firmwareText || effects.firmwareFailed)
            m_idAskedAt.reset();
        if (effects.pauseEnded) {
            require(!*effects.pauseEnded || (m_link == Link::Up && m_box.storedDownloads > 0),
                    "a transfer pause reported complete on a connection that had ended");
        }
        checkLimits();
    }

    // The sheet changes only by the operator, by a Get's blanking and what a failed Get puts back, by
    // Send's normalisation, and by a dump that answers a Get still awaited.
    void checkSheet(const Effects& effects, const Sheet& before, const char* step, bool downloadSent) {
        const Sheet& now = m_sheet;
        if (effects.dump && m_readIsCompare) {
            require(m_getOutstanding && effects.programming.has_value(),
                    "a read to compare without its values");
        } else if (effects.dump) {
            require(m_getOutstanding, std::string("a dump applied that no Get awaited (") + step + ")");
            const std::vector<Byte>& dump = *effects.dump;
            bool sent = false;
            // What was read of it (the box may have sent more, at another pin size) is what it sent.
            for (const std::vector<Byte>& d : m_box.dumpsSent) {
                const std::size_t n = std::min(d.size(), dump.size());
                sent =
                    sent || std::equal(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(n), dump.begin());
            }
            require(sent || unplaceable(), "a dump applied that the box never sent: " + hex(dump));
            return;
        }
        if (effects.dumpFailed && !m_readIsCompare) {
            for (int row = 0; row < kPinCount; ++row) {
                if (!m_editedSinceGet[row])
                    require(now.pins[row].command == m_commandsBeforeGet[row],
                            "a failed Get left pin " + std::to_string(row + 2) + " as '" +
                                now.pins[row].command + "', not '" + m_commandsBeforeGet[row] + "'");
            }
        }
        ConfigValues a = configValuesOf(before);
        ConfigValues b = configValuesOf(now);
        const bool normalises = downloadSent || std::string(step) == "Send";
        for (int row = 0; row < kPinCount; ++row) {
            std::string& was = a.pins[row].command;
            if (normalises)
                was = NormalizeCommand(was);
            if (effects.dumpFailed && !m_readIsCompare)
                was = b.pins[row].command;  // what a failed Get puts back is checked above
        }
        require(a == b, std::string("the sheet changed without an edit or an awaited dump (") + step + ")");
    }

    void checkLimits() {
        const ConversationLimits limits;
        if (m_dumpAskedAt)
            require(m_now <= *m_dumpAskedAt + limits.replyTotal, "a dump awaited past its limit");
        if (m_idAskedAt && m_engine->awaitingFirmware())
            require(m_now <= *m_idAskedAt + limits.replyTotal, "a firmware reply awaited past its limit");
        // The pause runs from the download for as long as the box needs to store it, on this connection.
        const bool pausing = m_pauseUntil && m_now < *m_pauseUntil;
        const bool pauseEnding = m_pauseUntil && m_now == *m_pauseUntil;
        require(m_engine->pausing() == pausing || pauseEnding, "the pause does not match the box's storing");
        require(m_engine->transferWaiting() == (m_getOutstanding || m_downloadPending || m_engine->pausing()),
                "the buttons wait while nothing is awaited, or idle while something is");
    }

    void userAction() {
        const int what = m_random.below(100);
        const bool connected = m_link == Link::Up;
        Sheet before = m_sheet;
        if (what < 12 && m_link == Link::Closed) {
            trace("user: Connect");
            ++m_connection;
            m_link = Link::Connecting;
            m_firmwareDelivered = false;
            m_wrongSizeSent = false;
            m_lastDelivery = m_now;
            m_box.storing = false;
            m_getOutstanding = false;
            m_downloadPending = false;
            m_dumpAskedAt.reset();
            m_idAskedAt.reset();
            m_pauseUntil.reset();
            carryOut(m_engine->connecting(m_now), before, "Connect");
            if (!m_random.chance(5))
                schedule(m_now + m_random.ms(1, 1500), Event{Event::LinkUp, m_connection, {}});
            schedule(m_now + 1000ms, Event{Event::WaitOver, m_connection, {}});
        } else if (what < 20) {
            trace("user: Disconnect");
            ++m_connection;
            m_link = Link::Closed;
            m_box.storing = false;
            m_pauseUntil.reset();
            carryOut(m_engine->disconnect(m_now), before, "Disconnect");
            m_getOutstanding = false;
            m_downloadPending = false;
            m_dumpAskedAt.reset();
            m_idAskedAt.reset();
        } else if (what < 45) {
            if (m_engine->transferWaiting())
                return;  // the button is disabled
            trace("user: Get from Zeze");
            m_commandsBeforeGet = {};
            for (int row = 0; row < kPinCount; ++row)
                m_commandsBeforeGet[row] = m_sheet.pins[row].command;
            m_editedSinceGet = {};
            Effects effects = m_engine->requestDump(connected, m_now);
            m_readIsCompare = false;
            m_getOutstanding = connected && !effects.dumpFailed;
            // Blanking the commands is the Get's own change, when it is made.
            if (connected) {
                for (PinRow& pin : before.pins)
                    pin.command.clear();
            }
            carryOut(std::move(effects), before, "Get");
        } else if (what < 65) {
            if (m_engine->transferWaiting())
                return;
            trace("user: Send to Zeze");
            Effects effects = m_engine->download(connected, m_now);
            const bool sent = std::any_of(effects.sends.begin(), effects.sends.end(),
                                          [](const std::vector<Byte>& m) { return m.size() > 3; });
            m_downloadPending = !effects.downloadRefused && !sent;
            carryOut(std::move(effects), before, "Send");
        } else if (what < 70) {
            trace("user: Read Short");
            m_sheet.readShort = !m_sheet.readShort;
            // Reading a long box's dumps short is the operator's choice: the rest of each such dump
            // has no size the tool knows, so from here on what it reads (dumps, and a firmware reply
            // that sizes downloads) is not held to the box's bytes.
            m_readShortOnLongBox = m_readShortOnLongBox || m_box.msgLength == kLongMsgLength;
        } else if (what < 73) {
            if (m_engine->transferWaiting())
                return;
            trace("user: Compare with Zeze");
            Effects effects = m_engine->requestProgramming(connected, m_now);
            m_readIsCompare = true;
            m_getOutstanding = connected && !effects.dumpFailed;
            carryOut(std::move(effects), before, "Compare");
        } else if (what < 75) {
            trace("user: Request ID");
            carryOut(m_engine->requestId(connected, m_now), before, "Request ID");
        } else {
            const int row = m_random.below(kPinCount);
            trace("user: edits pin " + std::to_string(row + 2));
            m_sheet.pins[row].command = m_random.chance(20) ? "" : std::to_string(10 + m_random.below(89));
            m_sheet.pins[row].invert = m_random.chance(50);
            m_editedSinceGet[row] = true;
        }
    }

    void runOperator() {
        m_engine.emplace(m_sheet);
        const Millis length = m_random.ms(5000, 180000);
        const TimePoint end = m_now + length;
        // The operator starts by connecting.
        schedule(m_now, Event{Event::User, 0, {}});
        for (TimePoint t = m_now + m_random.ms(0, 3000); t < end; t += m_random.ms(0, 8000))
            schedule(t, Event{Event::User, 0, {}});
        scheduleBoxHabits(end);
        Event event;
        while (nextStep(m_engine->wakeAt(), event)) {
            Sheet before = m_sheet;
            switch (event.kind) {
                case Event::User:
                    userAction();
                    break;
                case Event::Arrival:
                    if (event.connection != m_connection || m_link != Link::Up)
                        break;
                    trace("arrives: " + hex(event.bytes));
                    m_firmwareDelivered = m_firmwareDelivered || event.endsFirmwareReply;
                    carryOut(m_engine->arrived(event.bytes, m_now), before, "arrival");
                    break;
                case Event::LinkUp:
                    if (event.connection != m_connection)
                        break;
                    trace("connection up");
                    m_link = Link::Up;
                    carryOut(m_engine->connectionUp(m_now), before, "connection up");
                    break;
                case Event::WaitOver:
                    if (event.connection != m_connection)
                        break;
                    trace("Connect's wait over");
                    carryOut(m_engine->connectWaitOver(m_link == Link::Up, m_now), before, "wait over");
                    break;
                case Event::PeerEnds:
                    if (m_link != Link::Up)
                        break;
                    trace("the box drops the connection");
                    m_link = Link::Ended;
                    m_box.storing = false;
                    m_pauseUntil.reset();
                    carryOut(m_engine->connectionLost(m_now), before, "connection lost");
                    break;
                case Event::Chatter:
                    if (m_link == Link::Up) {
                        deliver({0xFF, 0x00, 0x00, static_cast<Byte>(m_random.below(5))}, 0ms);
                        if (m_random.chance(m_box.manners.unasked * 10))
                            sendUnasked();
                    }
                    break;
                case Event::Wake:
                    trace("wake");
                    carryOut(m_engine->advance(m_now), before, "wake");
            }
            require(m_now < end + 10min, "the session never came to rest");
        }
        require(!m_engine->transferWaiting(), "the buttons still wait when everything is over");
    }

    void scheduleBoxHabits(TimePoint end) {
        const Manners& m = m_box.manners;
        if (m.chatterEveryMs > 0) {
            for (TimePoint t = m_now + Millis(m.chatterEveryMs); t < end; t += Millis(m.chatterEveryMs))
                schedule(t, Event{Event::Chatter, 0, {}});
        }
        for (int i = 0; i < m.resetPerMinute * 3; ++i) {
            // Which connection it hits is decided when it comes.
            schedule(m_now + m_random.ms(0, 180000), Event{Event::PeerEnds, ~0ull, {}});
        }
    }

    // --- zeze's jobs ------------------------------------------------------------------------------------
    void runJob() {
        const BoxJob job = static_cast<BoxJob>(m_random.below(3));
        BoxJobFlow flow(job, ConversationLimits{});
        const ConfigValues program = randomValues(m_random, kShortMsgLength);
        const bool verify = m_random.chance(70);
        if (job == BoxJob::Program)
            flow.setProgram(program, verify, &fitRefusal);
        m_link = Link::Up;
        const TimePoint start = m_now;
        scheduleBoxHabits(m_now + 200s);
        Event event;
        auto apply = [&](Effects effects) {
            ++m_steps;
            for (const std::string& line : effects.lines)
                trace("  log: " + line);
            for (const std::vector<Byte>& message : effects.sends) {
                if (m_link != Link::Up) {
                    flow.sendRefused(m_now);
                    continue;
                }
                trace("  send: " + hex(message));
                boxReceives(message);
            }
        };
        apply(flow.connected(m_now));
        while (!flow.done() && nextStep(flow.wakeAt(), event)) {
            if (event.kind == Event::Arrival && m_link == Link::Up) {
                trace("arrives: " + hex(event.bytes));
                m_firmwareDelivered = m_firmwareDelivered || event.endsFirmwareReply;
                apply(flow.arrived(event.bytes, m_now));
            } else if (event.kind == Event::PeerEnds && m_link == Link::Up) {
                m_link = Link::Ended;
                m_box.storing = false;
                apply(flow.connectionLost(m_now));
            } else if (event.kind == Event::Chatter && m_link == Link::Up) {
                deliver({0xFF, 0x00, 0x00, static_cast<Byte>(m_random.below(5))}, 0ms);
            } else if (event.kind == Event::Wake) {
                apply(flow.advance(m_now));
            }
            require(m_now <= start + 2 * ConversationLimits{}.replyTotal + 10s,
                    "a zeze job outlived its limits");
        }
        require(flow.done(), "a zeze job never ended");
        const JobResult& result = flow.result();
        trace("job ends: " + std::string(result.ok ? "ok" : "failed: " + result.error));
        if (!result.ok)
            return;
        require(result.firmwareVersion == m_box.firmware, "a job reports firmware the box never had");
        if (job == BoxJob::Read) {
            bool sent = false;
            for (const std::vector<Byte>& d : m_box.dumpsSent) {
                sent = sent || (d.size() >= result.record.size() &&
                                std::equal(result.record.begin(), result.record.end(), d.begin()));
            }
            require(sent, "a read of a record the box never sent: " + hex(result.record));
        }
        if (job == BoxJob::Program) {
            require(m_box.storedDownloads == 1 && m_link == Link::Up,
                    "a download reported as done that the box did not keep");
            if (verify)
                require(result.verified, "a verified download without a read-back");
        }
    }

    std::uint64_t m_seed;
    Random m_random;
    bool m_verbose;
    bool m_zeze = false;
    std::uint64_t m_steps = 0;
    TimePoint m_now = TimePoint{} + 1h;
    std::uint64_t m_sequence = 0;
    std::map<std::pair<TimePoint, std::uint64_t>, Event> m_events;
    TimePoint m_lastDelivery{};
    Box m_box;

    Sheet m_sheet;
    std::optional<Conversation> m_engine;
    Link m_link = Link::Closed;
    std::uint64_t m_connection = 0;
    bool m_firmwareDelivered = false;
    bool m_readShortOnLongBox = false;
    bool m_wrongSizeSent = false;
    bool m_readIsCompare = false;  // the awaited read leaves the sheet alone
    bool m_getOutstanding = false;
    bool m_downloadPending = false;
    std::optional<TimePoint> m_dumpAskedAt;
    std::optional<TimePoint> m_idAskedAt;
    std::optional<TimePoint> m_pauseUntil;
    std::array<std::string, kPinCount> m_commandsBeforeGet{};
    std::array<bool, kPinCount> m_editedSinceGet{};
};

}  // namespace
}  // namespace zeze::sim

// Seeds beyond the usual range that once failed, run with every range: boxes whose messages fall out
// of step (cut and repeated dumps) until a look-alike header inside record bytes appears where a reply
// is awaited, or whole status messages add up to the length an answer lacks or run into a dump; and a
// dump's limit that cut the firmware reply under way (18882099).
constexpr std::uint64_t kFoundSeeds[] = {1477101, 1616866,  3178482,  3698529,  6419256,
                                         6468574, 11521455, 12885254, 15268922, 18882099};

int main(int argc, char** argv) {
    using namespace zeze::sim;
    std::uint64_t first = 1;
    std::uint64_t sessions = 100000;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) {
            first = std::strtoull(argv[++i], nullptr, 10);
            sessions = 1;
            verbose = true;
        } else if (arg == "--sessions" && i + 1 < argc) {
            sessions = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--first" && i + 1 < argc) {
            first = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            std::fprintf(stderr,
                         "usage: conversation_sim [--sessions N] [--first SEED] [--seed N] [--verbose]\n");
            return 2;
        }
    }
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t steps = 0;
    std::uint64_t failed = 0;
    std::vector<std::uint64_t> seeds;
    if (!verbose || sessions > 1)
        seeds.assign(std::begin(kFoundSeeds), std::end(kFoundSeeds));
    for (std::uint64_t seed = first; seed < first + sessions; ++seed)
        seeds.push_back(seed);
    for (const std::uint64_t seed : seeds) {
        Session session(seed, verbose);
        try {
            session.run();
        } catch (const Violation& violation) {
            ++failed;
            std::printf("seed %llu: %s (after %llu steps); replay: conversation_sim --seed %llu\n",
                        static_cast<unsigned long long>(seed), violation.what.c_str(),
                        static_cast<unsigned long long>(session.steps()),
                        static_cast<unsigned long long>(seed));
            if (failed >= 10)
                break;
        }
        steps += session.steps();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%llu sessions from seed %llu and %zu found before, %llu steps checked in %.1f s\n",
                static_cast<unsigned long long>(sessions), static_cast<unsigned long long>(first),
                seeds.size() - sessions, static_cast<unsigned long long>(steps), seconds);
    std::printf("%llu passed, %llu failed\n", static_cast<unsigned long long>(seeds.size() - failed),
                static_cast<unsigned long long>(failed));
    return failed == 0 ? 0 : 1;
}
