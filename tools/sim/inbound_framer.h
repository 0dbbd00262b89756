// Cuts the tool's byte stream into the messages a box understands. The tool's messages carry no length
// field: the three requests are three bytes each and a download is known to be complete by its size.
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
    TruncatedDownload,  // a download header whose record stopped arriving before it was complete
};

struct Inbound {
    InboundKind kind;
    std::vector<Byte> bytes;
};

class InboundFramer {
  public:
    explicit InboundFramer(std::size_t downloadSize)
        : m_downloadSize(downloadSize < kConfigHeader.size() ? kConfigHeader.size() : downloadSize) {}

    // Appends one arrival and returns every message it completes, in order. A partial message is held
    // until more bytes come or `flush` gives it up.
    std::vector<Inbound> feed(std::span<const Byte> arrival);

    // The stream stalled or ended: what is held becomes a truncated download or garbage.
    std::vector<Inbound> flush();

    std::size_t heldBytes() const { return m_buffer.size(); }
    void clear() { m_buffer.clear(); }

  private:
    std::size_t m_downloadSize;
    std::vector<Byte> m_buffer;
};

}  // namespace zeze::sim
