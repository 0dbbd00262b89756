// Cuts the tool's byte stream into the messages a box understands. The tool's messages carry no length
// field: the three requests are three bytes each, and a download ends when the line goes quiet; only then
// is its size judged, so a download of the wrong size is never cut into messages of its own. Of a download
// only the download size and a small margin are held; the bytes beyond are counted, not kept.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "protocol/frame.h"

namespace zeze::sim {

enum class InboundKind {
    IdRequest,
    GpiRequest,
    DumpRequest,
    Download,           // exactly the download size, header included
    Garbage,            // bytes that start no known message, up to the next start byte
    WrongSizeDownload,  // a download header and everything up to the quiet gap, not the download size
                        // (`bytes` holds its start, `dropped` counts the rest)
};

struct Inbound {
    InboundKind kind;
    std::vector<Byte> bytes;
    std::size_t dropped = 0;  // bytes of an overlong download counted but not held, after `bytes`

    // The message's length on the line.
    std::size_t size() const { return bytes.size() + dropped; }
};

// How far past the download size a download is held; the rest is only counted.
inline constexpr std::size_t kDownloadHoldMargin = 64;

class InboundFramer {
  public:
    explicit InboundFramer(std::size_t downloadSize)
        : m_downloadSize(downloadSize < kConfigHeader.size() ? kConfigHeader.size() : downloadSize) {}

    // Appends one arrival and returns every request it completes, in order. A partial request is held
    // until more bytes come or `flush` gives it up; a download, with whatever follows it, is held until
    // `flush`, up to the download size and kDownloadHoldMargin: bytes beyond are counted and dropped.
    std::vector<Inbound> feed(std::span<const Byte> arrival);

    // The line went quiet or closed: a held download becomes a download if it has exactly the download
    // size and a wrong-size download otherwise (its `dropped` counts what was not held); anything else
    // held is garbage.
    std::vector<Inbound> flush();

    std::size_t heldBytes() const { return m_buffer.size(); }
    void clear() {
        m_buffer.clear();
        m_dropped = 0;
    }

  private:
    bool holdsDownload() const;

    std::size_t m_downloadSize;
    std::vector<Byte> m_buffer;
    std::size_t m_dropped = 0;  // bytes of the held download past the hold limit
};

}  // namespace zeze::sim
