// The card panel's log written as an .xlsx workbook (libxlsxwriter): one sheet, every cell a string.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qx::desktop {

struct WorkbookResult {
    bool ok = false;
    QString error; // libxlsxwriter's own text when !ok
};

// Writes `headers` as the first row and each of `rows` below it into the sheet `sheetName` of a new
// workbook at `path`. Every cell is written as a string, so "   1   " keeps its blanks and an identity
// number ending in X (or of 18 digits) stays text rather than becoming a number.
WorkbookResult writeStringWorkbook(const QString& path, const QString& sheetName, const QStringList& headers,
                                   const QList<QStringList>& rows);

// The file name an export writes: the workbook format is .xlsx, so a typed ".xls" becomes ".xlsx" and
// a name without any suffix gets one.
QString workbookPathFor(const QString& chosen);

} // namespace qx::desktop
