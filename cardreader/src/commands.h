// The reader's request frames and the exchange of one command: send, pause, collect, test the status.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace qmr {

using namespace std::chrono_literals;

struct Command {
    // Preamble, length 00 03, command, parameter, checksum.
    std::array<uint8_t, 10> request;
    std::chrono::milliseconds pause;
    int chunks;
    uint8_t success;
    // The result when the status test fails; without one it is the reply's third status byte.
    std::optional<uint8_t> failure;
};

constexpr Command makeCommand(uint8_t code, uint8_t parameter, uint8_t checksum,
                              std::chrono::milliseconds pause, int chunks, uint8_t success,
                              std::optional<uint8_t> failure = std::nullopt) {
    return Command{{0xAA, 0xAA, 0xAA, 0x96, 0x69, 0x00, 0x03, code, parameter, checksum},
                   pause,
                   chunks,
                   success,
                   failure};
}

inline constexpr Command kResetSam = makeCommand(0x10, 0xFF, 0xEC, 100ms, 1, 0x90);
inline constexpr Command kGetSamStatus = makeCommand(0x11, 0xFF, 0xED, 100ms, 1, 0x90);
inline constexpr Command kGetSamId = makeCommand(0x12, 0xFF, 0xEE, 100ms, 1, 0x90);
inline constexpr Command kFindCard = makeCommand(0x20, 0x01, 0x22, 100ms, 1, 0x9F, 0x80);
inline constexpr Command kSelectCard = makeCommand(0x20, 0x02, 0x21, 100ms, 1, 0x90, 0x81);
inline constexpr Command kReadBaseMsg = makeCommand(0x30, 0x01, 0x32, 1500ms, 21, 0x90);
inline constexpr Command kReadNewAppMsg = makeCommand(0x30, 0x03, 0x30, 500ms, 2, 0x90);
inline constexpr Command kReadMngInfo = makeCommand(0x30, 0x05, 0x36, 100ms, 1, 0x90);

constexpr bool checksumHolds(const Command& c) {
    return c.request[9] == (c.request[5] ^ c.request[6] ^ c.request[7] ^ c.request[8]);
}
static_assert(checksumHolds(kResetSam) && checksumHolds(kGetSamStatus) && checksumHolds(kGetSamId) &&
              checksumHolds(kFindCard) && checksumHolds(kSelectCard) && checksumHolds(kReadBaseMsg) &&
              checksumHolds(kReadNewAppMsg) && checksumHolds(kReadMngInfo));

// Offset of the reply data, after preamble, length and the three status bytes.
inline constexpr size_t kReplyData = 10;

// A multi-chunk collection gives up when one chunk window passes with nothing delivered, or at the
// latest this long after the pause, so that a lost reader cannot keep a caller waiting for ever.
inline constexpr std::chrono::seconds kCollectionLimit = 5s;

struct ExchangeResult {
    // The export's result: `command.success` when the status bytes passed; else the command's
    // failure code, or 0 when the reader could not be opened (single-chunk) or the reply did not
    // arrive in time (multi-chunk, see kCollectionLimit).
    int32_t code = 0;
    // Whether the data may be copied. Not the same as code == success: a reply 01 00 90 fails the
    // test and yields 0x90 as its failure code.
    bool passed = false;
};

// Runs `command` through the process's transport. `reply` receives the collected bytes (64 per
// chunk, zeros where nothing arrived).
ExchangeResult runExchange(const Command& command, std::vector<uint8_t>& reply);

} // namespace qmr
