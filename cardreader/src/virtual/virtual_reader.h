// The virtual reader: a HID backend with one device 1A7E:5C39 that answers the reader protocol.
#pragma once

#include "../hid_backend.h"
#include "virtual_config.h"

#include <deque>

namespace qmr {

// Enough of a file's identity to notice any change, even within one second and at the same size:
// a replacement by rename gives a new inode, a rewrite a new modification time.
struct FileStamp {
    bool exists = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const QString& path);

// Stands in for hidapi, so that everything above the HID layer runs as with a real reader. Its
// state (pending reply chunks, report counts, plugged or not) belongs to the device, not to a
// handle: it survives the transport's closing and reopening between chunks.
class VirtualReaderBackend final : public HidBackend {
public:
    explicit VirtualReaderBackend(VirtualReaderConfig config);

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidHandle> open(const std::string& path) override;
    std::vector<uint8_t> reportDescriptor(const std::string& path) override;

    // Used by the handles.
    int write(int generation, const uint8_t* report, size_t length);
    int getInputReport(int generation, uint8_t* report, size_t length);
    void record(const std::string& line);

private:
    bool isReaderPath(const std::string& path) const;
    void countReport();
    void answer(const uint8_t* frame, size_t length);
    void queueReply(const StatusBytes& status, const std::vector<uint8_t>& data);
    void refreshCard();

    VirtualReaderConfig m_config;
    bool m_present;
    // Bumped at every unplug: handles opened before it are dead.
    int m_generation = 0;
    int m_reports = 0;
    std::deque<std::vector<uint8_t>> m_pending;
    // What the file looked like when the card was last taken from it.
    FileStamp m_stamp;
};

} // namespace qmr
