// The virtual reader's device: checks each request, plays the configured faults, queues reply chunks.
#include "virtual_reader.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qmr {

namespace {

constexpr char kReaderPath[] = "virtual:hidraw0";
constexpr uint8_t kPreamble[5] = {0xAA, 0xAA, 0xAA, 0x96, 0x69};

// Replies of a reader that has no card, or cannot make sense of a request (codes of this device).
constexpr StatusBytes kOk = {0x00, 0x00, 0x90};
constexpr StatusBytes kFound = {0x00, 0x00, 0x9F};
constexpr StatusBytes kNoCard = {0x00, 0x00, 0x80};
constexpr StatusBytes kNotSelected = {0x00, 0x00, 0x81};
constexpr StatusBytes kReadFailed = {0x00, 0x00, 0x41};
constexpr StatusBytes kNoAppMessage = {0x00, 0x00, 0x91};
constexpr StatusBytes kBadFrame = {0x00, 0x00, 0x10};
constexpr StatusBytes kUnknownCommand = {0x00, 0x00, 0x21};

std::string hex(const uint8_t* bytes, size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * length);
    for (size_t i = 0; i < length; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return out;
}

void appendBytes(std::vector<uint8_t>& out, const QByteArray& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void appendBe16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// A vendor-defined interface with one input and one output report of the given total lengths
// (report-id byte included), as the reader's own descriptor reads.
std::vector<uint8_t> descriptorFor(uint16_t inputLength, uint16_t outputLength) {
    std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                              0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};
    auto report = [&d](uint16_t length, uint8_t mainItem) {
        if (length < 2)
            return;
        const uint16_t count = length - 1;
        d.insert(d.end(), {0x96, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0x09, 0x01,
                           mainItem, 0x02});
    };
    report(inputLength, 0x81);
    report(outputLength, 0x91);
    d.push_back(0xC0);
    return d;
}

class VirtualHandle final : public HidHandle {
public:
    VirtualHandle(VirtualReaderBackend& device, int generation, std::string path)
        : m_device(device), m_generation(generation), m_path(std::move(path)) {}
    ~VirtualHandle() override { m_device.record("close " + m_path); }
    VirtualHandle(const VirtualHandle&) = delete;
    VirtualHandle& operator=(const VirtualHandle&) = delete;

    int write(const uint8_t* report, size_t length) override {
        return m_device.write(m_generation, report, length);
    }
    int getInputReport(uint8_t* report, size_t length) override {
        return m_device.getInputReport(m_generation, report, length);
    }

private:
    VirtualReaderBackend& m_device;
    int m_generation;
    std::string m_path;
};

// Some other HID device: it opens, but speaks nothing the reader protocol knows.
class DecoyHandle final : public HidHandle {
public:
    DecoyHandle(VirtualReaderBackend& device, std::string path) : m_device(device), m_path(std::move(path)) {}
    ~DecoyHandle() override { m_device.record("close " + m_path); }
    DecoyHandle(const DecoyHandle&) = delete;
    DecoyHandle& operator=(const DecoyHandle&) = delete;

    int write(const uint8_t*, size_t) override { return -1; }
    int getInputReport(uint8_t*, size_t) override { return -1; }

private:
    VirtualReaderBackend& m_device;
    std::string m_path;
};

std::string decoyPath(size_t index) {
    return "virtual:hidraw" + std::to_string(index + 1);
}

} // namespace

FileStamp fileStamp(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

VirtualReaderBackend::VirtualReaderBackend(VirtualReaderConfig config)
    : m_config(std::move(config)), m_present(m_config.attached), m_stamp(fileStamp(m_config.sourcePath)) {
    // The library has no other channel for this, and a silently absent reader would be hard to tell
    // from a real one.
    if (!m_config.error.isEmpty())
        std::fprintf(stderr, "qmrapi: virtual reader: %s\n", qUtf8Printable(m_config.error));
}

bool VirtualReaderBackend::isReaderPath(const std::string& path) const {
    return path == kReaderPath;
}

std::vector<HidDeviceInfo> VirtualReaderBackend::enumerate() {
    std::vector<HidDeviceInfo> out;
    // Decoys come first, so that discovery has to pass them over.
    for (size_t i = 0; i < m_config.decoys.size(); ++i)
        out.push_back(HidDeviceInfo{decoyPath(i), m_config.decoys[i].first, m_config.decoys[i].second});
    if (m_present)
        out.push_back(HidDeviceInfo{kReaderPath, 0x1A7E, 0x5C39});
    return out;
}

std::unique_ptr<HidHandle> VirtualReaderBackend::open(const std::string& path) {
    if (isReaderPath(path)) {
        if (!m_present)
            return nullptr;
        record("open " + path);
        return std::make_unique<VirtualHandle>(*this, m_generation, path);
    }
    for (size_t i = 0; i < m_config.decoys.size(); ++i) {
        if (path == decoyPath(i)) {
            record("open " + path);
            return std::make_unique<DecoyHandle>(*this, path);
        }
    }
    return nullptr;
}

std::vector<uint8_t> VirtualReaderBackend::reportDescriptor(const std::string& path) {
    if (!isReaderPath(path) || !m_present)
        return {};
    return descriptorFor(m_config.inputReportLength, m_config.outputReportLength);
}

void VirtualReaderBackend::record(const std::string& line) {
    if (m_config.recordPath.isEmpty())
        return;
    // Opened per line so that a test sees every line at once, even after a crash.
    if (std::FILE* f = std::fopen(QFile::encodeName(m_config.recordPath).constData(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void VirtualReaderBackend::countReport() {
    ++m_reports;
    if (m_reports != m_config.unplugAfterReports)
        return;
    record(m_config.replug ? "unplug replug" : "unplug");
    ++m_generation;
    m_pending.clear();
    if (!m_config.replug)
        m_present = false;
}

int VirtualReaderBackend::write(int generation, const uint8_t* report, size_t length) {
    if (!m_present || generation != m_generation || length < 1) {
        record("out-refused " + hex(report, length));
        return -1;
    }
    record("out " + hex(report, length));
    answer(report + 1, length - 1);
    countReport();
    return static_cast<int>(length);
}

int VirtualReaderBackend::getInputReport(int generation, uint8_t* report, size_t length) {
    const bool muted = m_config.muteAfterReports >= 0 && m_reports >= m_config.muteAfterReports;
    if (!m_present || generation != m_generation || muted || m_pending.empty() || length < 1) {
        record("in-none");
        return -1;
    }
    const std::vector<uint8_t> chunk = std::move(m_pending.front());
    m_pending.pop_front();
    // A device that declares no input report still answers with one of the usual size.
    const size_t declared = m_config.inputReportLength == 0 ? 65 : m_config.inputReportLength;
    const size_t n = std::min(length, declared);
    std::memset(report, 0, n);
    report[0] = 0;
    std::memcpy(report + 1, chunk.data(), std::min(chunk.size(), n - 1));
    record("in " + hex(report, n));
    countReport();
    return static_cast<int>(n);
}

void VirtualReaderBackend::refreshCard() {
    const FileStamp now = fileStamp(m_config.sourcePath);
    if (now == m_stamp)
        return;
    m_stamp = now;
    if (!now.exists) {
        // The file is gone: the card was taken off the reader.
        m_config.cardPresent = false;
        return;
    }
    QString error;
    if (!reloadVirtualReaderCard(m_config.sourcePath, m_config, error))
        std::fprintf(stderr, "qmrapi: virtual reader: %s; the card stays as it was\n", qUtf8Printable(error));
}

void VirtualReaderBackend::answer(const uint8_t* data, size_t length) {
    // A test lays a card on the reader or takes it off by changing the file between commands.
    refreshCard();
    uint8_t frame[64] = {};
    std::memcpy(frame, data, std::min<size_t>(length, sizeof frame));
    // A new request replaces whatever reply was still waiting.
    m_pending.clear();

    const bool wellFormed = std::memcmp(frame, kPreamble, sizeof kPreamble) == 0 && frame[5] == 0x00 &&
                            frame[6] == 0x03 && frame[9] == (frame[5] ^ frame[6] ^ frame[7] ^ frame[8]);
    if (!wellFormed) {
        queueReply(kBadFrame, {});
        return;
    }

    const uint16_t command = static_cast<uint16_t>(frame[7] << 8 | frame[8]);
    const bool card = m_config.cardPresent;
    std::string name;
    StatusBytes status = kOk;
    std::vector<uint8_t> reply;
    switch (command) {
    case 0x10FF:
        name = "reset_sam";
        break;
    case 0x11FF:
        name = "sam_status";
        break;
    case 0x12FF:
        name = "sam_id";
        reply.assign(m_config.samId.begin(), m_config.samId.end());
        break;
    case 0x2001:
        name = "find";
        status = card ? kFound : kNoCard;
        reply.assign(4, 0x00);
        break;
    case 0x2002:
        name = "select";
        status = card ? kOk : kNotSelected;
        reply.assign(8, 0x00);
        break;
    case 0x3001: {
        name = "base";
        status = card ? kOk : kReadFailed;
        const QByteArray text = qx::cardtext::encodeTextBlock(m_config.card);
        QByteArray photo = m_config.photo;
        photo.resize(1024, '\0');
        appendBe16(reply, m_config.textLength.value_or(static_cast<uint16_t>(text.size())));
        appendBe16(reply, m_config.photoLength.value_or(static_cast<uint16_t>(photo.size())));
        appendBytes(reply, text);
        appendBytes(reply, photo);
        break;
    }
    case 0x3003:
        name = "app";
        status = !card ? kReadFailed : m_config.newAddress ? kOk : kNoAppMessage;
        appendBytes(reply, qx::cardtext::encodeField(m_config.newAddress.value_or(QString()),
                                                     qx::cardtext::kAppMessageSize));
        break;
    case 0x3005:
        name = "mng";
        reply.assign(m_config.management.begin(), m_config.management.end());
        break;
    default:
        status = kUnknownCommand;
        break;
    }

    const auto forced = m_config.status.find(name);
    if (forced != m_config.status.end())
        status = forced->second;
    else if (status != kOk && status != kFound)
        reply.clear();
    queueReply(status, reply);
}

void VirtualReaderBackend::queueReply(const StatusBytes& status, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    if (m_config.preamble)
        bytes.assign(m_config.preamble->begin(), m_config.preamble->end());
    else
        bytes.assign(std::begin(kPreamble), std::end(kPreamble));
    // The length counts the status, the data and the checksum.
    appendBe16(bytes, m_config.lengthField.value_or(static_cast<uint16_t>(3 + data.size() + 1)));
    bytes.insert(bytes.end(), status.begin(), status.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t checksum = 0;
    for (size_t i = 5; i < bytes.size(); ++i)
        checksum ^= bytes[i];
    bytes.push_back(checksum);

    for (size_t at = 0; at < bytes.size(); at += 64) {
        std::vector<uint8_t> chunk(64, 0x00);
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 64)),
                  chunk.begin());
        m_pending.push_back(std::move(chunk));
    }
}

} // namespace qmr
