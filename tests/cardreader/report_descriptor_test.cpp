// Report lengths read from HID report descriptors, as the transport takes them for a real reader.
#include "report_descriptor.h"

#include <gtest/gtest.h>

namespace {

using qmr::reportLengths;

// Vendor page, one collection, 8-bit fields: `in` input and `out` output bytes, no report id.
std::vector<uint8_t> vendorDescriptor(uint8_t in, uint8_t out) {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
            0x95, in,   0x09, 0x01, 0x81, 0x02, 0x95, out,  0x09, 0x01, 0x91, 0x02, 0xC0};
}

TEST(ReportDescriptor, SixtyFourByteReportsGiveSixtyFiveWithTheIdByte) {
    const auto lengths = reportLengths(vendorDescriptor(64, 64));
    EXPECT_EQ(lengths.input, 65);
    EXPECT_EQ(lengths.output, 65);
}

TEST(ReportDescriptor, OtherSizesAndTwoByteCounts) {
    EXPECT_EQ(reportLengths(vendorDescriptor(32, 128)).input, 33);
    EXPECT_EQ(reportLengths(vendorDescriptor(32, 128)).output, 129);
    // Report Count with a two-byte value: 0x0200 bytes.
    const std::vector<uint8_t> big = {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x75, 0x08,
                                      0x96, 0x00, 0x02, 0x81, 0x02, 0xC0};
    EXPECT_EQ(reportLengths(big).input, 0x201);
    EXPECT_EQ(reportLengths(big).output, 0);
}

TEST(ReportDescriptor, WithReportIdsTheLongestReportCounts) {
    const std::vector<uint8_t> d = {0x06, 0x00, 0xFF, 0xA1, 0x01,                   // vendor collection
                                    0x85, 0x01, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02, // id 1: 7 input bytes
                                    0x85, 0x02, 0x95, 0x3F, 0x81, 0x02,             // id 2: 63 input bytes
                                    0x75, 0x01, 0x95, 0x05, 0x91, 0x02, 0x95, 0x03,
                                    0x91, 0x01, // id 2: 5 + 3 output bits
                                    0xC0};
    const auto lengths = reportLengths(d);
    EXPECT_EQ(lengths.input, 64);
    EXPECT_EQ(lengths.output, 2);
}

TEST(ReportDescriptor, PushAndPopRestoreTheGlobals) {
    const std::vector<uint8_t> d = {0xA1, 0x01, 0x75, 0x08, 0x95, 0x10, 0xA4, // push size 8, count 16
                                    0x75, 0x10, 0x95, 0x10, 0x81, 0x02,       // 16 x 16 bits in
                                    0xB4, 0x91, 0x02, 0xC0};                  // pop: 16 x 8 bits out
    const auto lengths = reportLengths(d);
    EXPECT_EQ(lengths.input, 33);
    EXPECT_EQ(lengths.output, 17);
}

TEST(ReportDescriptor, LongItemsAreSkippedAndTruncationStopsTheWalk) {
    std::vector<uint8_t> d = {0xFE, 0x02, 0x10, 0xAA, 0xBB};
    const auto base = vendorDescriptor(64, 64);
    d.insert(d.end(), base.begin(), base.end());
    EXPECT_EQ(reportLengths(d).input, 65);

    // Cut inside the output item's Report Count: only the input report is known.
    std::vector<uint8_t> cut = vendorDescriptor(64, 64);
    cut.resize(21);
    const auto lengths = reportLengths(cut);
    EXPECT_EQ(lengths.input, 65);
    EXPECT_EQ(lengths.output, 0);
    EXPECT_EQ(reportLengths({}).input, 0);
}

} // namespace
