// Runs a fuzz target without libFuzzer: over the given files and folders, and over deterministic
// mutations of them, so the ordinary test run (and its sanitizer build) exercises every parser.
//
// usage: fuzz_X [--mutations N] [--seed S] PATH...
#include "fuzz_target.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The input that runs, kept so that a crash can leave it behind for replaying.
const uint8_t* g_current = nullptr;
size_t g_currentSize = 0;

void keepCrashingInput(int signal) {
    static const char kName[] = "fuzz-crash.bin";
    const int fd = ::open(kName, O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        if (g_current && ::write(fd, g_current, g_currentSize) < 0) {
        }
        ::close(fd);
        static const char kText[] = "the crashing input is in ./fuzz-crash.bin\n";
        if (::write(2, kText, sizeof kText - 1) < 0) {
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void run(const std::vector<uint8_t>& input) {
    g_current = input.data();
    g_currentSize = input.size();
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

// xorshift64*: the same mutations on every run, so a failure can be replayed.
struct Random {
    uint64_t state;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717ULL;
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
};

// Values that sit on the edges parsers get wrong: zero, one, signs, sizes.
constexpr uint32_t kInteresting[] = {0,          1,          2,      0x7f,   0x80,    0xff,
                                     0x100,      0x7fff,     0x8000, 0xffff, 0x10000, 0x7fffffff,
                                     0x80000000, 0xffffffff, 54,     40,     24,      8};

std::vector<uint8_t> mutate(std::vector<uint8_t> data, const std::vector<std::vector<uint8_t>>& all,
                            Random& r) {
    const int operations = 1 + static_cast<int>(r.below(4));
    for (int op = 0; op < operations; ++op) {
        switch (r.below(8)) {
        case 0: // flip a bit
            if (!data.empty())
                data[r.below(data.size())] ^= static_cast<uint8_t>(1u << r.below(8));
            break;
        case 1: // an interesting byte
            if (!data.empty())
                data[r.below(data.size())] =
                    static_cast<uint8_t>(kInteresting[r.below(std::size(kInteresting))]);
            break;
        case 2: { // an interesting little-endian 16- or 32-bit value
            const size_t width = r.below(2) ? 4 : 2;
            if (data.size() >= width) {
                const uint32_t v = kInteresting[r.below(std::size(kInteresting))];
                const size_t at = r.below(data.size() - width + 1);
                for (size_t i = 0; i < width; ++i)
                    data[at + i] = static_cast<uint8_t>(v >> (8 * i));
            }
            break;
        }
        case 3: { // insert random bytes
            const size_t n = 1 + r.below(16);
            const size_t at = r.below(data.size() + 1);
            std::vector<uint8_t> bytes(n);
            for (auto& b : bytes)
                b = static_cast<uint8_t>(r.next());
            data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
            break;
        }
        case 4: // delete a range
            if (!data.empty()) {
                const size_t at = r.below(data.size());
                const size_t n = 1 + r.below(std::min<size_t>(64, data.size() - at));
                data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                           data.begin() + static_cast<std::ptrdiff_t>(at + n));
            }
            break;
        case 5: // truncate
            data.resize(r.below(data.size() + 1));
            break;
        case 6: { // duplicate a range
            if (!data.empty()) {
                const size_t at = r.below(data.size());
                const size_t n = 1 + r.below(std::min<size_t>(64, data.size() - at));
                std::vector<uint8_t> copy(data.begin() + static_cast<std::ptrdiff_t>(at),
                                          data.begin() + static_cast<std::ptrdiff_t>(at + n));
                data.insert(data.begin() + static_cast<std::ptrdiff_t>(r.below(data.size() + 1)),
                            copy.begin(), copy.end());
            }
            break;
        }
        default: { // splice the tail of another input
            const auto& other = all[r.below(all.size())];
            if (!other.empty()) {
                const size_t cut = r.below(data.size() + 1);
                const size_t from = r.below(other.size());
                data.resize(cut);
                data.insert(data.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
            }
            break;
        }
        }
    }
    return data;
}

void collect(const QString& path, std::vector<std::vector<uint8_t>>& inputs) {
    const QFileInfo info(path);
    if (info.isDir()) {
        const QDir dir(path);
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            collect(dir.filePath(name), inputs);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", path.toLocal8Bit().constData());
        return;
    }
    const QByteArray bytes = file.readAll();
    inputs.emplace_back(bytes.begin(), bytes.end());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    long mutations = 0;
    uint64_t seed = 0x9e3779b97f4a7c15ULL;
    std::vector<std::vector<uint8_t>> inputs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mutations") == 0 && i + 1 < argc)
            mutations = std::strtol(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 0);
        else
            collect(QString::fromLocal8Bit(argv[i]), inputs);
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s [--mutations N] [--seed S] PATH...\n", argv[0]);
        return 2;
    }
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, keepCrashingInput);
    for (const auto& input : inputs)
        run(input);
    Random r{seed};
    for (long m = 0; m < mutations; ++m) {
        const std::vector<uint8_t> input = mutate(inputs[r.below(inputs.size())], inputs, r);
        run(input);
    }
    std::printf("%zu inputs and %ld mutations ran\n", inputs.size(), mutations);
    return 0;
}
