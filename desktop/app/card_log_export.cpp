// Writing the card log as an .xlsx workbook with libxlsxwriter.
#include "qx/desktop/card_log_export.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <xlsxwriter.h>

namespace qx::desktop {

namespace {

// A name beside `path` that nothing uses yet, for the workbook while it is being written.
QString stagingPath(const QString& path) {
    const QFileInfo info(path);
    for (;;) {
        const QString candidate =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

WorkbookResult writeWorkbookFile(const QString& path, const QString& sheetName, const QStringList& headers,
                                 const QList<QStringList>& rows) {
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new(file.constData());
    if (!workbook)
        return {false, QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED))};
    const QByteArray sheet = sheetName.toUtf8();
    lxw_error error = workbook_validate_sheet_name(workbook, sheet.constData());
    lxw_worksheet* worksheet =
        error == LXW_NO_ERROR ? workbook_add_worksheet(workbook, sheet.constData()) : nullptr;
    if (!worksheet && error == LXW_NO_ERROR)
        error = LXW_ERROR_MEMORY_MALLOC_FAILED;
    auto writeRow = [&](lxw_row_t row, const QStringList& cells) {
        for (qsizetype c = 0; c < cells.size() && error == LXW_NO_ERROR; ++c) {
            const QByteArray text = cells.at(c).toUtf8();
            error =
                worksheet_write_string(worksheet, row, static_cast<lxw_col_t>(c), text.constData(), nullptr);
        }
    };
    if (worksheet) {
        writeRow(0, headers);
        for (qsizetype r = 0; r < rows.size() && error == LXW_NO_ERROR; ++r)
            writeRow(static_cast<lxw_row_t>(r + 1), rows.at(r));
    }
    // Closing writes the file (and frees the workbook) whatever happened before.
    const lxw_error closed = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR)
        return {false, QString::fromUtf8(lxw_strerror(error))};
    return {true, {}};
}

} // namespace

WorkbookResult writeStringWorkbook(const QString& path, const QString& sheetName, const QStringList& headers,
                                   const QList<QStringList>& rows) {
    // Written beside the target and renamed over it, so a failed export never leaves a damaged file
    // where an older workbook of that name was.
    const QString staging = stagingPath(path);
    WorkbookResult result = writeWorkbookFile(staging, sheetName, headers, rows);
    if (result.ok &&
        std::rename(QFile::encodeName(staging).constData(), QFile::encodeName(path).constData()) != 0)
        result = {false, QString::fromLocal8Bit(std::strerror(errno))};
    if (!result.ok)
        QFile::remove(staging);
    return result;
}

QString workbookPathFor(const QString& chosen) {
    const QFileInfo info(chosen);
    const QString suffix = info.suffix();
    if (suffix.compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0)
        return chosen + QLatin1Char('x');
    if (suffix.isEmpty() && !info.fileName().isEmpty())
        return chosen + QStringLiteral(".xlsx");
    return chosen;
}

} // namespace qx::desktop
