#pragma once
#include "SetEraserLevel/DoDataBase.h"

#include <QString>

// The exported page of one run: an XHTML table with the run's key as its
// header line, the title row and one row per item. Every value is escaped.
namespace HistoryPage {

QString html(const QString& key, const HistoryRun& rows);

// `chosen` with ".html" appended unless it already ends so.
QString pathWithExtension(const QString& chosen);

// Writes the page whole, as the user who started the program: what that
// user may not write stays as it is, a link at `path` is replaced rather
// than followed, and the page is theirs. False (with the reason in `error`)
// when the file could not be written.
bool write(const QString& path, const QString& key, const HistoryRun& rows, QString* error = nullptr);

QString escaped(const QString& value);

}  // namespace HistoryPage
