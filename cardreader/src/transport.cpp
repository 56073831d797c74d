// Discovery, output reports and input reports of the reader, over whichever HID backend the process uses.
#include "transport.h"

#include "report_descriptor.h"

#include <algorithm>
#include <cstring>

namespace qmr {

namespace {

// The ten meaningful bytes of every request; an output report shorter than the report id plus these
// cannot carry a command at all.
constexpr size_t kRequestBytes = 10;
// hidraw refuses reports beyond its buffer size, so a descriptor claiming more is not to be trusted.
constexpr uint16_t kLongestReport = 16384;

uint16_t usableLength(uint16_t declared) {
    if (declared == 0 || declared > kLongestReport)
        return kExpectedReportLength;
    return declared;
}

} // namespace

bool ReaderTransport::openReaderDevice() {
    closeReader();
    for (const HidDeviceInfo& info : m_backend.enumerate()) {
        if (info.vendorId != kReaderVendorId || info.productId != kReaderProductId)
            continue;
        std::unique_ptr<HidHandle> output = m_backend.open(info.path);
        if (!output)
            continue;
        // An interface whose second handle cannot be opened could never deliver a chunk, so it is
        // passed over like one that does not open at all.
        std::unique_ptr<HidHandle> input = m_backend.open(info.path);
        if (!input)
            continue;
        m_output = std::move(output);
        m_input = std::move(input);
        m_open = true;
        readReaderCaps(info.path);
        if (!m_readEventCreated) {
            m_readEventCreated = true;
            m_readEventSignalled = true;
        }
        break;
    }
    return m_open;
}

void ReaderTransport::readReaderCaps(const std::string& path) {
    // hidapi 0.13 cannot report HID capabilities; the report descriptor says the same thing. When it
    // cannot be read the reader is taken to use the 65-byte reports it is built with.
    const ReportLengths lengths = reportLengths(m_backend.reportDescriptor(path));
    m_inputReportLength = usableLength(lengths.input);
    m_outputReportLength = usableLength(lengths.output);
}

void ReaderTransport::closeReader() {
    m_output.reset();
    m_input.reset();
    m_open = false;
}

bool ReaderTransport::writeReaderFrame(const Frame& frame) {
    if (!m_open && !openReaderDevice())
        return false;

    // Reports of another length than 65: a longer one is the frame padded with zeros, a shorter one
    // the frame cut to fit (everything after the ten request bytes is zero anyway). One too short for
    // the request counts as a failed send.
    const size_t length = m_outputReportLength;
    if (length < 1 + kRequestBytes) {
        closeReader();
        return false;
    }
    std::vector<uint8_t> report(std::max<size_t>(length, kExpectedReportLength), 0);
    report[0] = 0;
    std::memcpy(report.data() + 1, frame.data(), frame.size());
    if (m_output->write(report.data(), length) < 0) {
        closeReader();
        return false;
    }
    return true;
}

bool ReaderTransport::readReaderReport(Frame& chunk) {
    if (!m_open && !openReaderDevice())
        return false;

    // The buffer always holds at least one 65-byte report, so a shorter input report leaves the rest
    // of the chunk zero and a longer one is cut to the 64 bytes a chunk has.
    const size_t length = m_inputReportLength;
    m_inputReport.assign(std::max<size_t>(length, kExpectedReportLength), 0);
    const int received = m_input->getInputReport(m_inputReport.data(), length);

    if (!m_readEventSignalled)
        closeReader();
    m_readEventSignalled = false;

    if (received < 2)
        return false;
    std::memcpy(chunk.data(), m_inputReport.data() + 1, chunk.size());
    return true;
}

ReaderTransport& processTransport() {
    // Left alive at exit on purpose: the reader's handles stay open until the process ends.
    static ReaderTransport* transport = new ReaderTransport(processBackend());
    return *transport;
}

} // namespace qmr
