// GBK <-> Unicode through glibc iconv, replacing what cannot be converted instead of failing.
#include "qx/platform/codepage.h"

#include <QList>

#include <cerrno>
#include <iconv.h>

namespace qx::platform {

namespace {

// Owns one conversion descriptor; a fresh one per call keeps the functions safe across threads.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (isOpen())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool isOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`; at a byte sequence iconv refuses, appends `replacement` and skips what
    // `skipLength` says the bad unit spans.
    template <typename Skip>
    QByteArray convert(const QByteArray& in, const QByteArray& replacement, Skip skipLength) {
        QByteArray out;
        out.reserve(in.size() * 2 + 16);
        char buffer[4096];
        char* inPtr = const_cast<char*>(in.constData());
        size_t inLeft = static_cast<size_t>(in.size());
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
            if (rc != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a unit cut off at the end): both become one replacement.
            out.append(replacement);
            size_t skip = skipLength(reinterpret_cast<const unsigned char*>(inPtr), inLeft);
            if (skip < 1 || skip > inLeft)
                skip = inLeft;
            inPtr += skip;
            inLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        return out;
    }

private:
    iconv_t m_cd;
};

// Length of the UTF-8 sequence starting at `p`; QString::toUtf8 only produces well-formed ones.
size_t utf8Length(const unsigned char* p, size_t left) {
    size_t length = 1;
    if (p[0] >= 0xF0)
        length = 4;
    else if (p[0] >= 0xE0)
        length = 3;
    else if (p[0] >= 0xC0)
        length = 2;
    return length <= left ? length : left;
}

} // namespace

QString fromGbk(const QByteArray& gbk) {
    if (gbk.isEmpty())
        return QString();
    Converter converter("UTF-8", "GBK");
    if (!converter.isOpen()) {
        // Without the gconv module only ASCII, which GBK shares, can be trusted.
        QString text;
        text.reserve(gbk.size());
        for (char c : gbk)
            text.append(static_cast<unsigned char>(c) < 0x80 ? QChar(c) : QChar(QChar::ReplacementCharacter));
        return text;
    }
    // One bad byte is skipped at a time so that an ASCII byte after a stray lead byte survives.
    const QByteArray utf8 = converter.convert(gbk, QByteArray("\xEF\xBF\xBD"),
                                              [](const unsigned char*, size_t) { return size_t{1}; });
    return QString::fromUtf8(utf8);
}

QByteArray toGbk(const QString& text) {
    if (text.isEmpty())
        return QByteArray();
    const QByteArray utf8 = text.toUtf8();
    Converter converter("GBK", "UTF-8");
    if (!converter.isOpen()) {
        QByteArray out;
        out.reserve(text.size());
        for (char32_t c : text.toUcs4())
            out.append(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    return converter.convert(utf8, QByteArray("?"), utf8Length);
}

} // namespace qx::platform
