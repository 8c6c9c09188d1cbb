#pragma once
#include <QString>
#include <QVariant>

#include <optional>

namespace platform {

// VantolyBase.plist: read fresh at every access and written back whole and
// atomically, so a write keeps every other key as it was on disk at that
// moment. A write that changes no value leaves the file untouched (no rename,
// no flush). Writers in one process take turns, so a write off the main
// thread loses no key written on it. A file that exists but does not parse is
// never overwritten.
class SettingsFile
{
public:
    explicit SettingsFile(QString path);

    // The program's own file in the state folder, seeded from share/ when missing.
    static SettingsFile shared();

    QString path() const { return m_path; }
    std::optional<QVariantMap> read() const;
    QVariant value(const QString& key) const;
    bool setValue(const QString& key, const QVariant& value) const;
    // Several keys in one write.
    bool setValues(const QVariantMap& values) const;

private:
    QString m_path;
};

}  // namespace platform
