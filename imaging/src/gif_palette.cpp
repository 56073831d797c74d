// Exact palettes for pictures of few colours and Wu's colour quantizer (Graphics Gems II) for others.
#include "gif_palette.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qx::imaging::detail {

namespace {

uint32_t keyOf(const uint8_t* p) {
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

// Wu's statistics live on 33 levels per channel: level 0 is the zero border of the cumulative sums.
constexpr int kSide = 33;
constexpr int kCells = kSide * kSide * kSide;

constexpr int cell(int r, int g, int b) {
    return (r * kSide + g) * kSide + b;
}

struct Box {
    int r0, r1, g0, g1, b0, b1; // lower bounds exclusive, upper inclusive
    int volume;
};

enum Axis { Red, Green, Blue };

struct Moments {
    std::vector<int64_t> w, r, g, b;
    std::vector<double> sq;
    Moments() : w(kCells), r(kCells), g(kCells), b(kCells), sq(kCells) {}
};

template <typename T> T volume(const Box& c, const std::vector<T>& m) {
    return m[cell(c.r1, c.g1, c.b1)] - m[cell(c.r1, c.g1, c.b0)] - m[cell(c.r1, c.g0, c.b1)] +
           m[cell(c.r1, c.g0, c.b0)] - m[cell(c.r0, c.g1, c.b1)] + m[cell(c.r0, c.g1, c.b0)] +
           m[cell(c.r0, c.g0, c.b1)] - m[cell(c.r0, c.g0, c.b0)];
}

// The part of volume() that does not depend on the box's upper bound along `axis`.
int64_t bottom(const Box& c, Axis axis, const std::vector<int64_t>& m) {
    switch (axis) {
    case Red:
        return -m[cell(c.r0, c.g1, c.b1)] + m[cell(c.r0, c.g1, c.b0)] + m[cell(c.r0, c.g0, c.b1)] -
               m[cell(c.r0, c.g0, c.b0)];
    case Green:
        return -m[cell(c.r1, c.g0, c.b1)] + m[cell(c.r1, c.g0, c.b0)] + m[cell(c.r0, c.g0, c.b1)] -
               m[cell(c.r0, c.g0, c.b0)];
    default:
        return -m[cell(c.r1, c.g1, c.b0)] + m[cell(c.r1, c.g0, c.b0)] + m[cell(c.r0, c.g1, c.b0)] -
               m[cell(c.r0, c.g0, c.b0)];
    }
}

// The rest of volume() with the upper bound along `axis` moved to `pos`.
int64_t top(const Box& c, Axis axis, int pos, const std::vector<int64_t>& m) {
    switch (axis) {
    case Red:
        return m[cell(pos, c.g1, c.b1)] - m[cell(pos, c.g1, c.b0)] - m[cell(pos, c.g0, c.b1)] +
               m[cell(pos, c.g0, c.b0)];
    case Green:
        return m[cell(c.r1, pos, c.b1)] - m[cell(c.r1, pos, c.b0)] - m[cell(c.r0, pos, c.b1)] +
               m[cell(c.r0, pos, c.b0)];
    default:
        return m[cell(c.r1, c.g1, pos)] - m[cell(c.r1, c.g0, pos)] - m[cell(c.r0, c.g1, pos)] +
               m[cell(c.r0, c.g0, pos)];
    }
}

double variance(const Box& c, const Moments& m) {
    const double dr = static_cast<double>(volume(c, m.r));
    const double dg = static_cast<double>(volume(c, m.g));
    const double db = static_cast<double>(volume(c, m.b));
    const double w = static_cast<double>(volume(c, m.w));
    return w > 0 ? volume(c, m.sq) - (dr * dr + dg * dg + db * db) / w : 0;
}

struct Whole {
    int64_t r, g, b, w;
};

// The cut along `axis` that leaves the two halves with the largest sum of squared mean weights,
// which is the cut that lowers the total variance most.
double maximize(const Box& c, Axis axis, int first, int last, int& cut, const Whole& whole,
                const Moments& m) {
    const int64_t baseR = bottom(c, axis, m.r);
    const int64_t baseG = bottom(c, axis, m.g);
    const int64_t baseB = bottom(c, axis, m.b);
    const int64_t baseW = bottom(c, axis, m.w);
    double best = 0;
    cut = -1;
    for (int i = first; i < last; ++i) {
        const int64_t hr = baseR + top(c, axis, i, m.r);
        const int64_t hg = baseG + top(c, axis, i, m.g);
        const int64_t hb = baseB + top(c, axis, i, m.b);
        const int64_t hw = baseW + top(c, axis, i, m.w);
        if (hw == 0 || hw == whole.w)
            continue;
        const double lower = (double(hr) * hr + double(hg) * hg + double(hb) * hb) / double(hw);
        const int64_t ur = whole.r - hr, ug = whole.g - hg, ub = whole.b - hb, uw = whole.w - hw;
        const double upper = (double(ur) * ur + double(ug) * ug + double(ub) * ub) / double(uw);
        if (lower + upper > best) {
            best = lower + upper;
            cut = i;
        }
    }
    return best;
}

bool split(Box& a, Box& b, const Moments& m) {
    const Whole whole{volume(a, m.r), volume(a, m.g), volume(a, m.b), volume(a, m.w)};
    int cutR, cutG, cutB;
    const double maxR = maximize(a, Red, a.r0 + 1, a.r1, cutR, whole, m);
    const double maxG = maximize(a, Green, a.g0 + 1, a.g1, cutG, whole, m);
    const double maxB = maximize(a, Blue, a.b0 + 1, a.b1, cutB, whole, m);
    Axis axis;
    if (maxR >= maxG && maxR >= maxB) {
        axis = Red;
        if (cutR < 0)
            return false;
    } else {
        axis = maxG >= maxB ? Green : Blue;
    }
    b.r1 = a.r1;
    b.g1 = a.g1;
    b.b1 = a.b1;
    switch (axis) {
    case Red:
        b.r0 = a.r1 = cutR;
        b.g0 = a.g0;
        b.b0 = a.b0;
        break;
    case Green:
        b.g0 = a.g1 = cutG;
        b.r0 = a.r0;
        b.b0 = a.b0;
        break;
    case Blue:
        b.b0 = a.b1 = cutB;
        b.r0 = a.r0;
        b.g0 = a.g0;
        break;
    }
    a.volume = (a.r1 - a.r0) * (a.g1 - a.g0) * (a.b1 - a.b0);
    b.volume = (b.r1 - b.r0) * (b.g1 - b.g0) * (b.b1 - b.b0);
    return true;
}

// Turns per-cell counts and sums into sums over the box from the origin to each cell.
template <typename T> void accumulate(std::vector<T>& m) {
    for (int r = 1; r < kSide; ++r) {
        std::array<T, kSide> area{};
        for (int g = 1; g < kSide; ++g) {
            T line = 0;
            for (int b = 1; b < kSide; ++b) {
                line += m[cell(r, g, b)];
                area[b] += line;
                m[cell(r, g, b)] = m[cell(r - 1, g, b)] + area[b];
            }
        }
    }
}

} // namespace

// Open addressing over 512 slots: at most 257 colours are ever stored before giving up.
struct ColourMapper::ExactTable {
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;
    static constexpr int kSlots = 512;
    std::array<uint32_t, kSlots> keys;
    std::array<uint8_t, kSlots> indexes{};
    int count = 0;
    ExactTable() { keys.fill(kEmpty); }
    static int slotOf(uint32_t key) { return static_cast<int>((key * 2654435761u) >> 23); }
    // The slot holding `key`, inserting it when new; -1 once a 257th colour turns up.
    int find(uint32_t key) {
        for (int s = slotOf(key);; s = (s + 1) & (kSlots - 1)) {
            if (keys[s] == key)
                return s;
            if (keys[s] == kEmpty) {
                if (count == 256)
                    return -1;
                keys[s] = key;
                indexes[s] = static_cast<uint8_t>(count++);
                return s;
            }
        }
    }
    int lookup(uint32_t key) const {
        for (int s = slotOf(key);; s = (s + 1) & (kSlots - 1))
            if (keys[s] == key || keys[s] == kEmpty)
                return keys[s] == key ? indexes[s] : 0;
    }
};

ColourMapper::ColourMapper(const Picture& p) {
    const int bpp = p.bitsPerPixel / 8;
    auto table = std::make_unique<ExactTable>();
    bool few = true;
    for (int y = 0; y < p.height && few; ++y) {
        const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        uint32_t last = ExactTable::kEmpty;
        for (int x = 0; x < p.width; ++x, row += bpp) {
            const uint32_t key = keyOf(row);
            if (key == last)
                continue;
            last = key;
            if (table->find(key) < 0) {
                few = false;
                break;
            }
        }
    }
    if (few) {
        m_exact = true;
        m_palette.resize(static_cast<std::size_t>(table->count));
        for (int s = 0; s < ExactTable::kSlots; ++s)
            if (table->keys[s] != ExactTable::kEmpty)
                m_palette[table->indexes[s]] = 0xFF000000u | table->keys[s];
        m_table = std::move(table);
        return;
    }

    // One cell's sums side by side: one cache line touched per pixel rather than five.
    struct CellSums {
        int64_t w, r, g, b, sq;
    };
    std::vector<CellSums> sums(kCells, CellSums{0, 0, 0, 0, 0});
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        for (int x = 0; x < p.width; ++x, row += bpp) {
            const int b = row[0], g = row[1], r = row[2];
            CellSums& c = sums[cell((r >> 3) + 1, (g >> 3) + 1, (b >> 3) + 1)];
            ++c.w;
            c.r += r;
            c.g += g;
            c.b += b;
            c.sq += r * r + g * g + b * b;
        }
    }
    Moments m;
    for (int i = 0; i < kCells; ++i) {
        m.w[i] = sums[i].w;
        m.r[i] = sums[i].r;
        m.g[i] = sums[i].g;
        m.b[i] = sums[i].b;
        m.sq[i] = static_cast<double>(sums[i].sq);
    }
    accumulate(m.w);
    accumulate(m.r);
    accumulate(m.g);
    accumulate(m.b);
    accumulate(m.sq);

    constexpr int kColours = 256;
    std::vector<Box> boxes(kColours);
    std::vector<double> spread(kColours, 0.0);
    boxes[0] = Box{0, kSide - 1, 0, kSide - 1, 0, kSide - 1, 0};
    int count = kColours;
    int next = 0;
    for (int i = 1; i < kColours; ++i) {
        if (split(boxes[next], boxes[i], m)) {
            spread[next] = boxes[next].volume > 1 ? variance(boxes[next], m) : 0;
            spread[i] = boxes[i].volume > 1 ? variance(boxes[i], m) : 0;
        } else {
            spread[next] = 0; // cannot be split: never chosen again
            --i;
        }
        next = 0;
        double most = spread[0];
        for (int k = 1; k <= i; ++k)
            if (spread[k] > most) {
                most = spread[k];
                next = k;
            }
        if (most <= 0) {
            count = i + 1;
            break;
        }
    }

    m_tags.assign(kCells, 0);
    m_palette.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const Box& c = boxes[k];
        const int64_t w = volume(c, m.w);
        if (w > 0) {
            auto mean = [w](int64_t sum) { return static_cast<int>((sum + w / 2) / w); };
            m_palette[k] = qRgb(mean(volume(c, m.r)), mean(volume(c, m.g)), mean(volume(c, m.b)));
        } else {
            m_palette[k] = qRgb(0, 0, 0);
        }
        for (int r = c.r0 + 1; r <= c.r1; ++r)
            for (int g = c.g0 + 1; g <= c.g1; ++g)
                for (int b = c.b0 + 1; b <= c.b1; ++b)
                    m_tags[cell(r, g, b)] = static_cast<uint8_t>(k);
    }
}

ColourMapper::~ColourMapper() = default;

void ColourMapper::mapRow(const uint8_t* row, int width, int bpp, uint8_t* out) const {
    if (m_exact) {
        uint32_t lastKey = ExactTable::kEmpty;
        uint8_t lastIndex = 0;
        for (int x = 0; x < width; ++x, row += bpp) {
            const uint32_t key = keyOf(row);
            if (key != lastKey) {
                lastKey = key;
                lastIndex = static_cast<uint8_t>(m_table->lookup(key));
            }
            out[x] = lastIndex;
        }
        return;
    }
    for (int x = 0; x < width; ++x, row += bpp)
        out[x] = m_tags[cell((row[2] >> 3) + 1, (row[1] >> 3) + 1, (row[0] >> 3) + 1)];
}

} // namespace qx::imaging::detail
