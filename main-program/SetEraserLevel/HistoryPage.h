#pragma once
#include "SetEraserLevel/DoDataBase.h"

#include <QString>

// The exported page of one run: an XHTML table with the run's key as its
// header line, the title row and one row per item. Every value is escaped.
namespace HistoryPage {

QString html(const QString& key, const HistoryRun& rows);

// `chosen` with ".html" appended unless it already ends so.
QString pathWithExtension(const QString& chosen);

// Writes the page atomically; false (with the reason in `error`) when the
// file could not be written.
bool write(const QString& path, const QString& key, const HistoryRun& rows, QString* error = nullptr);

QString escaped(const QString& value);

// We run as root, but the page lands in the user's own folders: once written
// it is given to the user who started the program, so they can move or delete
// it. Does nothing when not root or when that user is root. False (with the
// reason in `error`) when the owner could not be changed.
bool handToInvokingUser(const QString& path, QString* error = nullptr);

}  // namespace HistoryPage
