// The PDF document over libqpdf; JPEG data is pulled from the held files only while QPDFWriter writes.
#include "qx/pdf/pdf_document.h"

#include "glyphless_font.h"
#include "jpeg_header.h"

#include <QDateTime>
#include <QFile>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qx::pdf {

namespace {

long long readAt(int fd, void* buffer, std::size_t size, uint64_t offset) {
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

// Hands QPDFWriter the JPEG's bytes from the file held open since loadImage, a block at a time,
// so a document of many pages never holds more than the stream being written.
class JpegFileData : public QPDFObjectHandle::StreamDataProvider {
public:
    JpegFileData(int fd, uint64_t size, std::string name) : m_fd(fd), m_size(size), m_name(std::move(name)) {}
    ~JpegFileData() override { ::close(m_fd); }
    JpegFileData(const JpegFileData&) = delete;
    JpegFileData& operator=(const JpegFileData&) = delete;

    void provideStreamData(QPDFObjGen const&, Pipeline* pipeline) override {
        struct stat st {};
        // The size and frame header were checked at loading; a file changed since is not embedded.
        if (::fstat(m_fd, &st) != 0 || static_cast<uint64_t>(st.st_size) != m_size)
            throw PdfError("JPEG image " + m_name + " changed after it was loaded");
        std::vector<unsigned char> block(256 * 1024);
        for (uint64_t at = 0; at < m_size;) {
            const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(block.size(), m_size - at));
            if (readAt(m_fd, block.data(), want, at) != static_cast<long long>(want))
                throw PdfError("JPEG image " + m_name + " cannot be read");
            pipeline->write(block.data(), want);
            at += want;
        }
        pipeline->finish();
    }

private:
    int m_fd;
    uint64_t m_size;
    std::string m_name;
};

struct Image {
    int width = 0;
    int height = 0;
    QPDFObjectHandle xobject;
    bool open = true;
    // Where fitImage last put it on the current page: lower-left corner and scale, in points.
    bool placed = false;
    double x = 0;
    double y = 0;
    double scale = 0;
};

// Plain decimal text whatever the process locale: PDF numbers never take a decimal comma.
std::string number(double v) {
    if (std::fabs(v) < 0.00005)
        return "0";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 4);
    std::string s(text, result.ptr);
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

QPDFObjectHandle numberObject(double v) {
    if (v == std::floor(v) && std::fabs(v) < 1e9)
        return QPDFObjectHandle::newInteger(static_cast<long long>(v));
    return QPDFObjectHandle::newReal(number(v));
}

std::string creationDate() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    const int hours = std::abs(offset) / 60;
    const int minutes = std::abs(offset) % 60;
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d'%02d'", offset < 0 ? '-' : '+', hours, minutes);
    return "D:" + now.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString() + zone;
}

bool finite(double v) {
    return std::isfinite(v);
}

} // namespace

struct PdfDocument::Impl {
    enum class Scope { Object, Document, Page };

    std::string version = "1.4";
    Scope scope = Scope::Object;
    std::unique_ptr<QPDF> pdf;
    FILE* out = nullptr;
    QByteArray path;
    std::vector<std::pair<std::string, std::string>> info;
    std::map<int, Image> images;
    int nextImage = 1;
    int pages = 0;
    double pageWidth = 0;
    double pageHeight = 0;
    std::string content;
    std::set<int> pageImages;
    bool pageText = false;
    // The text layers' font, made with the first layer and shared by every page after it.
    QPDFObjectHandle textFont;

    QPDFObjectHandle glyphlessFont();

    int addImage(const detail::JpegHeader& header,
                 const std::shared_ptr<QPDFObjectHandle::StreamDataProvider>& provider,
                 const QByteArray* bytes);

    void requireScope(std::initializer_list<Scope> allowed, const char* operation) const {
        for (Scope s : allowed)
            if (scope == s)
                return;
        const char* where = scope == Scope::Object ? "outside a document"
                            : scope == Scope::Page ? "inside a page"
                                                   : "outside a page";
        throw PdfError(std::string(operation) + " cannot be called " + where);
    }

    Image& openImage(int handle, const char* operation) {
        const auto it = images.find(handle);
        if (it == images.end() || !it->second.open)
            throw PdfError(std::string(operation) + ": no open image with handle " + std::to_string(handle));
        return it->second;
    }

    void reset() {
        scope = Scope::Object;
        images.clear();
        pdf.reset();
        info.clear();
        content.clear();
        pageImages.clear();
        pageText = false;
        textFont = QPDFObjectHandle();
        pages = 0;
    }

    // Drops a document that will not be finished, with its file: a partial PDF is never left.
    void abandon() {
        if (out) {
            std::fclose(out);
            out = nullptr;
            ::unlink(path.constData());
        }
        reset();
    }
};

PdfDocument::PdfDocument() : m_impl(std::make_unique<Impl>()) {}

PdfDocument::~PdfDocument() {
    m_impl->abandon();
}

void PdfDocument::setParameter(const QString& key, const QString& value) {
    if (key != QLatin1String("compatibility"))
        throw PdfError("unknown parameter " + key.toStdString());
    static const char* const versions[] = {"1.3", "1.4", "1.5", "1.6", "1.7", "2.0"};
    for (const char* v : versions)
        if (value == QLatin1String(v)) {
            m_impl->version = v;
            return;
        }
    throw PdfError("compatibility " + value.toStdString() + " is not a PDF version");
}

bool PdfDocument::beginDocument(const QString& path) {
    m_impl->requireScope({Impl::Scope::Object}, "beginDocument");
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return false;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    FILE* out = ::fdopen(fd, "wb");
    if (!out) {
        ::close(fd);
        ::unlink(name.constData());
        return false;
    }
    try {
        auto pdf = std::make_unique<QPDF>();
        pdf->emptyPDF();
        m_impl->pdf = std::move(pdf);
    } catch (const std::exception&) {
        std::fclose(out);
        ::unlink(name.constData());
        return false;
    }
    m_impl->out = out;
    m_impl->path = name;
    m_impl->scope = Impl::Scope::Document;
    return true;
}

void PdfDocument::setInfo(const QString& key, const QString& value) {
    m_impl->requireScope({Impl::Scope::Document, Impl::Scope::Page}, "setInfo");
    if (key.isEmpty())
        throw PdfError("setInfo needs a key");
    const std::string k = key.toStdString();
    for (auto& entry : m_impl->info)
        if (entry.first == k) {
            entry.second = value.toStdString();
            return;
        }
    m_impl->info.emplace_back(k, value.toStdString());
}

void PdfDocument::beginPage(double width, double height) {
    m_impl->requireScope({Impl::Scope::Document}, "beginPage");
    // PDF readers accept page sides from 3 to 14400 points (200 inches).
    if (!finite(width) || !finite(height) || width < 3 || height < 3 || width > 14400 || height > 14400)
        throw PdfError("page size " + number(width) + " x " + number(height) + " is outside 3..14400 points");
    m_impl->pageWidth = width;
    m_impl->pageHeight = height;
    m_impl->content.clear();
    m_impl->pageImages.clear();
    m_impl->pageText = false;
    for (auto& entry : m_impl->images)
        entry.second.placed = false;
    m_impl->scope = Impl::Scope::Page;
}

namespace {

// The image XObject of a JPEG whose header was read: its bytes are embedded unchanged (DCTDecode),
// from `provider` (a file) or `bytes` (memory).
QPDFObjectHandle jpegXObject(QPDF& pdf, const detail::JpegHeader& header,
                             const std::shared_ptr<QPDFObjectHandle::StreamDataProvider>& provider,
                             const QByteArray* bytes) {
    QPDFObjectHandle xobject = pdf.newStream();
    QPDFObjectHandle dict = xobject.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(header.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(header.height));
    const char* space = header.components == 1   ? "/DeviceGray"
                        : header.components == 3 ? "/DeviceRGB"
                                                 : "/DeviceCMYK";
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(space));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    if (header.components == 4 && header.adobe) {
        QPDFObjectHandle decode = QPDFObjectHandle::newArray();
        for (int i = 0; i < 4; ++i) {
            decode.appendItem(QPDFObjectHandle::newInteger(1));
            decode.appendItem(QPDFObjectHandle::newInteger(0));
        }
        dict.replaceKey("/Decode", decode);
    }
    if (provider)
        xobject.replaceStreamData(provider, QPDFObjectHandle::newName("/DCTDecode"),
                                  QPDFObjectHandle::newNull());
    else
        xobject.replaceStreamData(bytes->toStdString(), QPDFObjectHandle::newName("/DCTDecode"),
                                  QPDFObjectHandle::newNull());
    return xobject;
}

} // namespace

int PdfDocument::Impl::addImage(const detail::JpegHeader& header,
                                const std::shared_ptr<QPDFObjectHandle::StreamDataProvider>& provider,
                                const QByteArray* bytes) {
    Image image;
    image.width = header.width;
    image.height = header.height;
    try {
        image.xobject = jpegXObject(*pdf, header, provider, bytes);
    } catch (const PdfError&) {
        throw;
    } catch (const std::exception& e) {
        throw PdfError(std::string("loadImage: ") + e.what());
    }
    const int handle = nextImage++;
    images.emplace(handle, std::move(image));
    return handle;
}

int PdfDocument::loadImage(const QString& type, const QString& path) {
    m_impl->requireScope({Impl::Scope::Document, Impl::Scope::Page}, "loadImage");
    if (type.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) != 0)
        throw PdfError("image type " + type.toStdString() + " is not supported (only jpeg)");
    const std::string name = path.toStdString();
    // Opened without blocking: a FIFO in the picture's place fails here instead of hanging.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw PdfError("JPEG image " + name + " cannot be opened: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw PdfError("JPEG image " + name + " is not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // From here the provider owns the descriptor, whatever happens.
    auto data = std::make_shared<JpegFileData>(fd, static_cast<uint64_t>(st.st_size), name);
    const detail::JpegHeader header = detail::readJpegHeader(
        [fd](uint64_t offset, void* buffer, std::size_t size) {
            return readAt(fd, buffer, size, offset) == static_cast<long long>(size);
        },
        static_cast<uint64_t>(st.st_size));
    return m_impl->addImage(header, data, nullptr);
}

int PdfDocument::loadImageData(const QString& type, const QByteArray& jpeg) {
    m_impl->requireScope({Impl::Scope::Document, Impl::Scope::Page}, "loadImage");
    if (type.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) != 0)
        throw PdfError("image type " + type.toStdString() + " is not supported (only jpeg)");
    const detail::JpegHeader header = detail::readJpegHeader(
        [&jpeg](uint64_t offset, void* buffer, std::size_t size) {
            if (offset + size > static_cast<uint64_t>(jpeg.size()))
                return false;
            std::memcpy(buffer, jpeg.constData() + offset, size);
            return true;
        },
        static_cast<uint64_t>(jpeg.size()));
    return m_impl->addImage(header, nullptr, &jpeg);
}

QSizeF PdfDocument::imageSize(int handle) const {
    const auto it = m_impl->images.find(handle);
    if (it == m_impl->images.end() || !it->second.open)
        throw PdfError("imageSize: no open image with handle " + std::to_string(handle));
    return QSizeF(it->second.width, it->second.height);
}

void PdfDocument::fitImage(int handle, double x, double y, double boxWidth, double boxHeight) {
    m_impl->requireScope({Impl::Scope::Page}, "fitImage");
    Image& image = m_impl->openImage(handle, "fitImage");
    if (!finite(x) || !finite(y) || !finite(boxWidth) || !finite(boxHeight) || boxWidth <= 0 ||
        boxHeight <= 0)
        throw PdfError("fitImage needs a box of positive size at a finite point");
    const double scale = std::min(boxWidth / image.width, boxHeight / image.height);
    m_impl->content += "q " + number(image.width * scale) + " 0 0 " + number(image.height * scale) + " " +
                       number(x) + " " + number(y) + " cm /Im" + std::to_string(handle) + " Do Q\n";
    m_impl->pageImages.insert(handle);
    image.placed = true;
    image.x = x;
    image.y = y;
    image.scale = scale;
}

namespace {

// Every code of the layer's font is one UTF-16 unit and advances half an em (its /DW), so a word's
// run is stretched (Tz) to the width of the word's box.
constexpr double kAdvance = 0.5;

// The codes map to themselves as Unicode. bfrange entries may differ only in their last byte, so
// the range is written as one entry per high byte, the surrogates left out (a lone one is no
// character).
std::string toUnicodeCMap() {
    std::vector<int> highs;
    for (int high = 0; high < 256; ++high)
        if (high < 0xD8 || high > 0xDF)
            highs.push_back(high);
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    char line[40];
    for (std::size_t at = 0; at < highs.size(); at += 100) {
        const std::size_t count = std::min<std::size_t>(100, highs.size() - at);
        cmap += std::to_string(count) + " beginbfrange\n";
        for (std::size_t i = at; i < at + count; ++i) {
            std::snprintf(line, sizeof line, "<%02X00> <%02XFF> <%02X00>\n", highs[i], highs[i], highs[i]);
            cmap += line;
        }
        cmap += "endbfrange\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

// The word as the font's codes, in hexadecimal: one UTF-16 unit per code, surrogates dropped.
std::string codesOf(const QString& text, int& count) {
    static const char* const digits = "0123456789ABCDEF";
    std::string hex;
    count = 0;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (c.isSurrogate() || unit < 0x20)
            continue;
        for (int shift = 12; shift >= 0; shift -= 4)
            hex += digits[(unit >> shift) & 0xF];
        ++count;
    }
    return hex;
}

} // namespace

QPDFObjectHandle PdfDocument::Impl::glyphlessFont() {
    if (textFont.isInitialized())
        return textFont;
    QPDF& q = *pdf;
    const std::string fontBytes(reinterpret_cast<const char*>(detail::kGlyphlessFont),
                                detail::kGlyphlessFontSize);
    QPDFObjectHandle file = q.newStream(fontBytes);
    file.getDict().replaceKey("/Length1",
                              QPDFObjectHandle::newInteger(static_cast<long long>(fontBytes.size())));

    QPDFObjectHandle descriptor = QPDFObjectHandle::parse(
        "<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 500 1000] "
        "/ItalicAngle 0 /Ascent 1000 /Descent -1 /CapHeight 1000 /StemV 80 >>");
    descriptor.replaceKey("/FontFile2", file);

    // A reader puts a glyph's box from the baseline up by the ascent: the whole em above it, so a
    // word's box is its line's (a descent of 0 is taken for "none given" and a default used instead).
    // Every code shows the font's one (empty) glyph.
    std::string toGlyph(2 * 65536, '\0');
    for (std::size_t i = 1; i < toGlyph.size(); i += 2)
        toGlyph[i] = 1;
    QPDFObjectHandle cidFont = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont "
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 500 >>");
    cidFont.replaceKey("/FontDescriptor", q.makeIndirectObject(descriptor));
    cidFont.replaceKey("/CIDToGIDMap", q.newStream(toGlyph));

    QPDFObjectHandle font = QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H >>");
    QPDFObjectHandle descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(q.makeIndirectObject(cidFont));
    font.replaceKey("/DescendantFonts", descendants);
    font.replaceKey("/ToUnicode", q.newStream(toUnicodeCMap()));
    textFont = q.makeIndirectObject(font);
    return textFont;
}

void PdfDocument::placeText(int handle, const TextLayer& layer) {
    m_impl->requireScope({Impl::Scope::Page}, "placeText");
    Impl& d = *m_impl;
    const Image& image = d.openImage(handle, "placeText");
    if (!image.placed)
        throw PdfError("placeText: image " + std::to_string(handle) + " is not on this page");
    const bool sideways = layer.turn == 90 || layer.turn == 270;
    if ((layer.turn % 90) != 0 || layer.turn < 0 || layer.turn >= 360 ||
        (sideways ? layer.height : layer.width) != image.width ||
        (sideways ? layer.width : layer.height) != image.height)
        throw PdfError("placeText: the layer's picture does not match the image");

    // Text space is the upright picture's pixels with y up; this maps it onto the image's place. The
    // image pixel (px, py) (y down) is at (x + s px, y + s (h - py)) on the page, and the upright
    // pixel (u, H - v) is the image pixel the turn takes it to.
    const double h = image.height;
    const double upW = layer.width;
    const double upH = layer.height;
    const auto toImage = [&](double u, double v) -> std::pair<double, double> {
        const double uy = upH - v;
        switch (layer.turn) {
        case 90:
            return {upH - uy, u};
        case 180:
            return {upW - u, upH - uy};
        case 270:
            return {uy, upW - u};
        default:
            return {u, uy};
        }
    };
    const auto toPage = [&](double u, double v) -> std::pair<double, double> {
        const auto [px, py] = toImage(u, v);
        return {image.x + image.scale * px, image.y + image.scale * (h - py)};
    };
    const auto [e, f] = toPage(0, 0);
    const auto [ux, uy] = toPage(1, 0);
    const auto [vx, vy] = toPage(0, 1);

    std::string text;
    for (const TextWord& word : layer.words) {
        const double height = word.bottom - word.top;
        const double width = word.right - word.left;
        int count = 0;
        const std::string codes = codesOf(word.text, count);
        if (count == 0 || !(height > 0) || !(width > 0) || !finite(height) || !finite(width) ||
            !finite(word.left) || !finite(word.bottom))
            continue;
        const double stretch = 100 * width / (count * kAdvance * height);
        text += "/FOcr " + number(height) + " Tf " + number(stretch) + " Tz 1 0 0 1 " + number(word.left) +
                " " + number(upH - word.bottom) + " Tm <" + codes + "> Tj\n";
    }
    if (text.empty())
        return;
    try {
        d.glyphlessFont();
    } catch (const std::exception& ex) {
        throw PdfError(std::string("placeText: ") + ex.what());
    }
    d.content += "q " + number(ux - e) + " " + number(uy - f) + " " + number(vx - e) + " " + number(vy - f) +
                 " " + number(e) + " " + number(f) + " cm\nBT\n3 Tr\n" + text + "ET\nQ\n";
    d.pageText = true;
}

void PdfDocument::closeImage(int handle) {
    m_impl->requireScope({Impl::Scope::Document, Impl::Scope::Page}, "closeImage");
    // The XObject stays in the document for the pages that show it; only the handle ends.
    m_impl->openImage(handle, "closeImage").open = false;
}

void PdfDocument::endPage() {
    m_impl->requireScope({Impl::Scope::Page}, "endPage");
    Impl& d = *m_impl;
    try {
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        for (int handle : d.pageImages)
            xobjects.replaceKey("/Im" + std::to_string(handle), d.images.at(handle).xobject);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
        if (d.pageText) {
            QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
            fonts.replaceKey("/FOcr", d.textFont);
            resources.replaceKey("/Font", fonts);
        }
        QPDFObjectHandle box = QPDFObjectHandle::newArray();
        box.appendItem(QPDFObjectHandle::newInteger(0));
        box.appendItem(QPDFObjectHandle::newInteger(0));
        box.appendItem(numberObject(d.pageWidth));
        box.appendItem(numberObject(d.pageHeight));
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", box);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", d.pdf->newStream(d.content));
        QPDFPageDocumentHelper(*d.pdf).addPage(QPDFPageObjectHelper(d.pdf->makeIndirectObject(page)), false);
    } catch (const std::exception& e) {
        throw PdfError(std::string("endPage: ") + e.what());
    }
    ++d.pages;
    d.content.clear();
    d.pageImages.clear();
    d.pageText = false;
    d.scope = Impl::Scope::Document;
}

void PdfDocument::endDocument() {
    m_impl->requireScope({Impl::Scope::Document}, "endDocument");
    Impl& d = *m_impl;
    if (d.pages == 0) {
        d.abandon();
        throw PdfError("endDocument: the document has no pages");
    }
    try {
        QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
        for (const auto& [key, value] : d.info)
            info.replaceKey("/" + key, QPDFObjectHandle::newUnicodeString(value));
        if (!info.hasKey("/CreationDate"))
            info.replaceKey("/CreationDate", QPDFObjectHandle::newString(creationDate()));
        d.pdf->getTrailer().replaceKey("/Info", d.pdf->makeIndirectObject(info));
        QPDFWriter writer(*d.pdf);
        writer.setOutputFile(d.path.constData(), d.out, false);
        writer.forcePDFVersion(d.version);
        // Object streams need PDF 1.5; a 1.4 file must not have them.
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.write();
    } catch (const std::exception& e) {
        const std::string why = e.what();
        d.abandon();
        throw PdfError("endDocument: " + why);
    }
    const bool flushed = std::fflush(d.out) == 0 && !std::ferror(d.out);
    const bool closed = std::fclose(d.out) == 0;
    d.out = nullptr;
    if (!flushed || !closed) {
        ::unlink(d.path.constData());
        d.reset();
        throw PdfError("endDocument: the file cannot be written");
    }
    d.reset();
}

} // namespace qx::pdf
