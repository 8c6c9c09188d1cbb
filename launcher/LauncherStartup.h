#pragma once
#include "platform/SettingsFile.h"

#include <QByteArrayList>
#include <QDialog>
#include <QString>

#include <memory>

// The steps of the launcher's start, each with what it touches handed in.
namespace LauncherStartup {

// Records the user's short name as USERNAME; false where the settings file
// cannot be written (the installed one belongs to root).
bool recordUserName(const platform::SettingsFile& settings, const QString& userName);

struct Decision
{
    enum Kind { StartMainProgram, Erase, RefuseSystemItem } kind = StartMainProgram;
    QString path;  // absolute, for Erase and RefuseSystemItem
};

// With at least two arguments after the program's name, the first is a path
// to erase when it decodes as UTF-8, is not empty and exists (a link counts
// as itself); anything else starts the main program. A relative path is
// taken against `workingDir`. A path that belongs to the system is refused
// with the main program's notice, before anything is touched.
Decision decide(const QByteArrayList& arguments, const QString& workingDir);

// The window for a path to erase: the system-item notice for what belongs
// to the system, the NTFS notice for an item on an NTFS volume, otherwise
// the erase window with its run started. Shown, raised
// and centred; the caller runs its modal loop.
std::unique_ptr<QDialog> openWindowFor(const QString& path, const QString& toolPath = QString());

}  // namespace LauncherStartup
