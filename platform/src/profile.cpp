// A line-based INI reader and writer that follows GetPrivateProfileString / WritePrivateProfileString.
#include "qx/platform/profile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace qx::platform {

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

enum class LineKind { Blank, Comment, Section, Key, Other };

// One line of the file as byte offsets, so that a write can splice without touching its neighbours.
struct Line {
    qsizetype begin = 0;     // first byte of the text
    qsizetype end = 0;       // one past the text, before any CR LF or LF
    qsizetype next = 0;      // first byte of the following line
    bool terminated = false; // ends in LF (a lone CR at the end of the file does not end a line)
    LineKind kind = LineKind::Blank;
    QString name;      // section name or key name
    QString value;     // key value, trimmed
    QByteArray rawKey; // key as spelled in the file, for rewriting its line
};

bool hasTerminator(const Line& line) {
    return line.terminated;
}

Line parseLine(const QByteArray& content, qsizetype begin, qsizetype end, qsizetype next) {
    Line line;
    line.begin = begin;
    line.end = end;
    line.next = next;
    const QByteArray raw = content.mid(begin, end - begin);
    const QString text = QString::fromUtf8(raw).trimmed();
    if (text.isEmpty()) {
        line.kind = LineKind::Blank;
    } else if (text.startsWith(QLatin1Char(';'))) {
        line.kind = LineKind::Comment;
    } else if (text.startsWith(QLatin1Char('['))) {
        // Like Windows, the name is everything between '[' and the first ']'; without a ']' the line
        // is no header and does not end the section it stands in.
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            line.kind = LineKind::Section;
            line.name = text.mid(1, close - 1);
        } else {
            line.kind = LineKind::Other;
        }
    } else if (const qsizetype eq = raw.indexOf('='); eq >= 0) {
        line.kind = LineKind::Key;
        line.rawKey = raw.left(eq).trimmed();
        line.name = QString::fromUtf8(raw.left(eq)).trimmed();
        line.value = QString::fromUtf8(raw.mid(eq + 1)).trimmed();
    } else {
        line.kind = LineKind::Other;
    }
    return line;
}

std::vector<Line> parse(const QByteArray& content) {
    std::vector<Line> lines;
    qsizetype pos = content.startsWith(utf8Bom) ? utf8Bom.size() : 0;
    while (pos < content.size()) {
        const qsizetype newline = content.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? content.size() : newline + 1;
        qsizetype end = newline < 0 ? content.size() : newline;
        if (end > pos && content.at(end - 1) == '\r')
            --end;
        lines.push_back(parseLine(content, pos, end, next));
        lines.back().terminated = newline >= 0;
        pos = next;
    }
    return lines;
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// Only the first section of a name is ever looked at; a later duplicate is invisible, as on Windows.
std::ptrdiff_t findSection(const std::vector<Line>& lines, const QString& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && sameName(lines[i].name, section))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// The index one past the last line of the section whose header is at `header`.
size_t sectionEnd(const std::vector<Line>& lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section)
        ++i;
    return i;
}

std::ptrdiff_t findKey(const std::vector<Line>& lines, size_t header, const QString& key) {
    const size_t end = sectionEnd(lines, header);
    for (size_t i = header + 1; i < end; ++i) {
        if (lines[i].kind == LineKind::Key && sameName(lines[i].name, key))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

QString unquoted(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

QString cutToBuffer(const QString& value, int bufferSize) {
    if (bufferSize < 1)
        return QString();
    return value.left(bufferSize - 1);
}

// New lines follow the file: LF when every line break in it is a bare LF, CR LF otherwise.
QByteArray lineBreakOf(const QByteArray& content) {
    if (content.contains('\n') && !content.contains("\r\n"))
        return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

} // namespace

QString readProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& defaultValue, int bufferSize) {
    // Windows drops trailing spaces of the default before using it.
    QString fallback = defaultValue;
    while (fallback.endsWith(QLatin1Char(' ')))
        fallback.chop(1);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cutToBuffer(fallback, bufferSize);
    const std::vector<Line> lines = parse(file.readAll());
    const std::ptrdiff_t header = findSection(lines, section);
    if (header < 0)
        return cutToBuffer(fallback, bufferSize);
    const std::ptrdiff_t keyLine = findKey(lines, static_cast<size_t>(header), key);
    if (keyLine < 0)
        return cutToBuffer(fallback, bufferSize);
    return cutToBuffer(unquoted(lines[static_cast<size_t>(keyLine)].value), bufferSize);
}

int decimalPrefix(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() < 128 && std::isspace(text[i].unicode()))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    long long value = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        value = std::min<long long>(value * 10 + (text[i].unicode() - '0'), INT32_MAX);
    }
    return static_cast<int>(negative ? -value : value);
}

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
    QByteArray content;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        content = file.readAll();
    }

    const QByteArray eol = lineBreakOf(content);
    const std::vector<Line> lines = parse(content);
    const std::ptrdiff_t header = findSection(lines, section);

    if (header < 0) {
        const qsizetype bodyStart = content.startsWith(utf8Bom) ? utf8Bom.size() : 0;
        if (content.size() > bodyStart && !content.endsWith('\n'))
            content.append(eol);
        content.append('[').append(section.toUtf8()).append(']').append(eol);
        content.append(key.toUtf8()).append('=').append(value.toUtf8()).append(eol);
    } else if (const std::ptrdiff_t keyIndex = findKey(lines, static_cast<size_t>(header), key);
               keyIndex >= 0) {
        const Line& line = lines[static_cast<size_t>(keyIndex)];
        const QByteArray replacement = line.rawKey + '=' + value.toUtf8();
        content.replace(line.begin, line.end - line.begin, replacement);
    } else {
        // After the section's last non-blank line, so blank separators before the next header stay put.
        const size_t end = sectionEnd(lines, static_cast<size_t>(header));
        size_t anchor = static_cast<size_t>(header);
        for (size_t i = anchor + 1; i < end; ++i) {
            if (lines[i].kind != LineKind::Blank)
                anchor = i;
        }
        const Line& line = lines[anchor];
        QByteArray insertion;
        if (!hasTerminator(line))
            insertion.append(eol);
        insertion.append(key.toUtf8()).append('=').append(value.toUtf8()).append(eol);
        content.insert(line.next, insertion);
    }

    QSaveFile out(path);
    // A folder we may not create files in can still hold a file we may rewrite in place.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(content) != content.size())
        return false;
    return out.commit();
}

} // namespace qx::platform
