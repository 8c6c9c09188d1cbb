#pragma once
#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Property lists, XML or binary in, XML out. Values map to QVariant:
// dict -> QVariantMap, array -> QVariantList, string -> QString,
// integer -> qint64, real -> double, boolean -> bool, date -> QDateTime,
// data -> QByteArray.
namespace platform::plist {

std::optional<QVariant> parse(const QByteArray& bytes);
QByteArray toXml(const QVariant& root);

// The whole file as a dictionary; nothing when it is missing, unreadable,
// not a property list, or its root is not a dictionary. `error` says which.
std::optional<QVariantMap> readDictionary(const QString& path, QString* error = nullptr);

// Written whole to a temporary file and renamed into place, so a reader sees
// the old file or the new one, never a mixture.
bool writeDictionary(const QString& path, const QVariantMap& dict, QString* error = nullptr);

}  // namespace platform::plist
