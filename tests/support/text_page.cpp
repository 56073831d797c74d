// The rendered text page and the poppler tools that read PDFs back.
#include "support/text_page.h"

#include "support/test_support.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>

namespace qx::test {

namespace {

QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

} // namespace

TextPage renderTextPage(QSize size) {
    TextPage page;
    page.lines = {QStringLiteral("Contract of Service 2026"), QStringLiteral("合同编号第一条甲方同意"),
                  QStringLiteral("The quick brown fox jumps"), QStringLiteral("本合同自双方签字之日起生效")};
    page.image = QImage(size, QImage::Format_RGB32);
    page.image.fill(Qt::white);
    // A sheet photographed at this size is about 300 dpi; Tesseract trusts a resolution the file
    // states, and Qt's own default (96) would mislead it.
    page.image.setDotsPerMeterX(11811);
    page.image.setDotsPerMeterY(11811);
    QPainter painter(&page.image);
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(size.height() / 22);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font);
    const double left = size.width() * 0.08;
    double baseline = size.height() * 0.15;
    for (const QString& line : std::as_const(page.lines)) {
        painter.drawText(QPointF(left, baseline), line);
        if (line.front().unicode() < 0x80) {
            double x = left;
            for (const QString& word : line.split(QLatin1Char(' '))) {
                const double width = metrics.horizontalAdvance(word);
                page.words.push_back({word, QRectF(x, baseline - metrics.ascent(), width,
                                                   metrics.ascent() + metrics.descent())});
                x += width + metrics.horizontalAdvance(QLatin1Char(' '));
            }
        }
        baseline += size.height() * 0.12;
    }
    return page;
}

QString pdfTextWithoutSpaces(const QString& pdf, int page) {
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
             << QString::number(page);
    args << pdf << QStringLiteral("-");
    return QString::fromUtf8(run(QStringLiteral("pdftotext"), args))
        .remove(QRegularExpression(QStringLiteral("\\s")));
}

std::vector<PlacedWord> pdfWords(const QString& pdf) {
    const QString html = QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<PlacedWord> words;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        words.push_back({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                               QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
    return words;
}

std::vector<QByteArray> pdfJpegs(const QString& pdf) {
    Folder out;
    run(QStringLiteral("pdfimages"), {QStringLiteral("-j"), pdf, out.file(QStringLiteral("page"))});
    std::vector<QByteArray> jpegs;
    for (const QString& name : QDir(out.path()).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        jpegs.push_back(readAll(out.file(name)));
    return jpegs;
}

} // namespace qx::test
