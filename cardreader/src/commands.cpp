// One command exchange with the reader: the single-chunk and the multi-chunk procedure.
#include "commands.h"

#include "transport.h"

#include <algorithm>
#include <thread>

namespace qmr {

namespace {

using Clock = std::chrono::steady_clock;

// A failed read is retried after this long instead of at once, so that a window spent waiting for a
// missing reader does not run discovery thousands of times a second.
constexpr auto kRetryDelay = 10ms;

int64_t wholeSeconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

bool statusPasses(const std::vector<uint8_t>& reply, uint8_t success) {
    return reply[7] == 0x00 && reply[8] == 0x00 && reply[9] == success;
}

ExchangeResult tested(const Command& command, const std::vector<uint8_t>& reply) {
    if (statusPasses(reply, command.success))
        return {command.success, true};
    return {command.failure ? *command.failure : reply[9], false};
}

Frame requestFrame(const Command& command) {
    Frame frame{};
    std::copy(command.request.begin(), command.request.end(), frame.begin());
    return frame;
}

ExchangeResult runSingle(const Command& command, std::vector<uint8_t>& reply) {
    ReaderTransport& transport = processTransport();
    // The send's own result is not looked at: a failed send has closed the reader, which the check
    // after the pause sees.
    transport.writeReaderFrame(requestFrame(command));
    reply.assign(kFrameSize, 0);
    std::this_thread::sleep_for(command.pause);
    if (!transport.isOpen())
        return {0, false};
    Frame chunk{};
    if (transport.readReaderReport(chunk))
        std::copy(chunk.begin(), chunk.end(), reply.begin());
    return tested(command, reply);
}

ExchangeResult runMulti(const Command& command, std::vector<uint8_t>& reply) {
    ReaderTransport& transport = processTransport();
    transport.writeReaderFrame(requestFrame(command));
    const size_t wanted = static_cast<size_t>(command.chunks);
    reply.assign(wanted * kFrameSize, 0);
    std::this_thread::sleep_for(command.pause);

    const Clock::time_point giveUp = Clock::now() + kCollectionLimit;
    size_t collected = 0;
    while (collected < wanted) {
        const int64_t noted = wholeSeconds(Clock::now());
        Frame scratch{};
        bool delivered = false;
        for (;;) {
            scratch.fill(0);
            delivered = transport.readReaderReport(scratch);
            const Clock::time_point now = Clock::now();
            if (delivered || wholeSeconds(now) - noted > 2 || now >= giveUp)
                break;
            std::this_thread::sleep_for(kRetryDelay);
        }
        if (!delivered)
            break;
        std::copy(scratch.begin(), scratch.end(),
                  reply.begin() + static_cast<std::ptrdiff_t>(collected * kFrameSize));
        ++collected;
        if (collected < wanted && Clock::now() >= giveUp)
            break;
    }

    if (collected < wanted) {
        // Chunks that did arrive may already carry the reader's refusal, which is the better answer;
        // a reply that looked right but stopped short is no reply.
        if (collected > 0 && !statusPasses(reply, command.success))
            return {reply[9], false};
        return {0, false};
    }
    return tested(command, reply);
}

} // namespace

ExchangeResult runExchange(const Command& command, std::vector<uint8_t>& reply) {
    return command.chunks == 1 ? runSingle(command, reply) : runMulti(command, reply);
}

} // namespace qmr
