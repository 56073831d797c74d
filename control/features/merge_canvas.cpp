// Band-wise drawing of the merge canvas over the JPEG row reader and the band-wise JPEG writer.
#include "control/features/merge_canvas.h"

#include "qx/imaging/jpeg_stream.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace qx::control {

namespace {

// The pictures whose rows the band being written crosses, opened at their first row and closed
// after their last.
class PictureRows {
public:
    PictureRows(const MergeLayout& layout, const std::vector<QString>& pictures,
                const ProgressReport& progress)
        : m_layout(layout), m_pictures(pictures), m_readers(pictures.size()), m_progress(progress) {}

    // Copies row `y` of every picture crossing it into `row` (B, G, R of the canvas width).
    bool draw(int64_t y, uint8_t* row) {
        for (std::size_t i = 0; i < m_pictures.size(); ++i) {
            const CanvasRect& at = m_layout.pictures[i];
            if (y < at.y || y >= at.y + at.height)
                continue;
            if (y == at.y) {
                m_readers[i] = imaging::JpegRowReader::open(m_pictures[i]);
                if (!m_readers[i] || m_readers[i]->width() != at.width || m_readers[i]->height() != at.height)
                    return false;
            }
            if (!m_readers[i])
                return false;
            const uint8_t* source = m_readers[i]->nextRow();
            if (!source)
                return false;
            std::memcpy(row + at.x * 3, source, static_cast<std::size_t>(at.width) * 3);
            if (y == at.y + at.height - 1) {
                m_readers[i].reset();
                ++m_drawn;
                if (m_progress)
                    m_progress(m_drawn, static_cast<int>(m_pictures.size()));
            }
        }
        return true;
    }

private:
    const MergeLayout& m_layout;
    const std::vector<QString>& m_pictures;
    std::vector<std::unique_ptr<imaging::JpegRowReader>> m_readers;
    const ProgressReport& m_progress;
    int m_drawn = 0;
};

} // namespace

bool writeMergedJpeg(const MergeLayout& layout, const std::vector<QString>& pictures,
                     const MergeSettings& settings, double dpi, int quality, const QString& path,
                     const ProgressReport& progress) {
    if (layout.width <= 0 || layout.height <= 0 || layout.width > imaging::kJpegMaxSide ||
        layout.height > imaging::kJpegMaxSide || layout.pictures.size() != pictures.size())
        return false;
    const auto width = static_cast<std::size_t>(layout.width);
    std::vector<uint8_t> band(width * 3 * kCanvasBandRows);
    PictureRows rows(layout, pictures, progress);
    const auto fetch = [&](int first, int count, const uint8_t** out) {
        for (int i = 0; i < count; ++i) {
            const int64_t y = first + i;
            uint8_t* row = band.data() + width * 3 * static_cast<std::size_t>(i);
            std::memset(row, 0xFF, width * 3);
            for (const CanvasRect& b : layout.bands) {
                if (y < b.y || y >= b.y + b.height)
                    continue;
                for (int64_t x = b.x; x < b.x + b.width; ++x) {
                    row[x * 3] = settings.blue;
                    row[x * 3 + 1] = settings.green;
                    row[x * 3 + 2] = settings.red;
                }
            }
            if (!rows.draw(y, row))
                return false;
            out[i] = row;
        }
        return true;
    };
    return imaging::writeJpegRows(static_cast<int>(layout.width), static_cast<int>(layout.height),
                                  kCanvasBandRows, fetch, path, quality, dpi, dpi);
}

} // namespace qx::control
