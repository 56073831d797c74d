// The reader transport: finds the reader 1A7E:5C39, sends 64-byte frames, fetches 64-byte chunks.
#pragma once

#include "hid_backend.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qmr {

inline constexpr uint16_t kReaderVendorId = 0x1A7E;
inline constexpr uint16_t kReaderProductId = 0x5C39;
inline constexpr size_t kFrameSize = 64;
// Report id byte and one frame: what the reader is expected to declare in both directions.
inline constexpr uint16_t kExpectedReportLength = kFrameSize + 1;

using Frame = std::array<uint8_t, kFrameSize>;

// One reader per process. Not thread-safe: the exports run one at a time.
//
// The open/close rhythm is the one readers and their clients have always seen from this library: a
// "read event" that nothing but its creation signals, so the first read of the process keeps the
// reader open and every later read closes it after fetching its chunk; the next write or read then
// runs discovery again.
class ReaderTransport {
public:
    // Borrows `backend`, which must outlive the transport.
    explicit ReaderTransport(HidBackend& backend) : m_backend(backend) {}

    bool isOpen() const { return m_open; }

    // Discovery: the first interface with the reader's vendor and product id that opens. Only that
    // interface is ever opened.
    bool openReaderDevice();

    // True when the output report was sent. A failed send closes the reader, so that the next call
    // rediscovers it.
    bool writeReaderFrame(const Frame& frame);

    // True when a chunk was copied to `chunk`; `chunk` is untouched otherwise.
    bool readReaderReport(Frame& chunk);

private:
    void readReaderCaps(const std::string& path);
    void closeReader();

    HidBackend& m_backend;
    bool m_open = false;
    std::unique_ptr<HidHandle> m_output;
    std::unique_ptr<HidHandle> m_input;
    uint16_t m_inputReportLength = kExpectedReportLength;
    uint16_t m_outputReportLength = kExpectedReportLength;
    bool m_readEventCreated = false;
    bool m_readEventSignalled = false;
    std::vector<uint8_t> m_inputReport;
};

// The transport of this process, created on first use over processBackend().
ReaderTransport& processTransport();

} // namespace qmr
