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
    enum Kind { StartMainProgram, Erase } kind = StartMainProgram;
    QString path;  // absolute, for Erase
};

// With at least two arguments after the program's name, the first is a path
// to erase when it decodes as UTF-8, is not empty and exists (a link counts
// as itself); anything else starts the main program. A relative path is
// taken against `workingDir`.
Decision decide(const QByteArrayList& arguments, const QString& workingDir);

// The window for a path to erase: the NTFS notice for an item on an NTFS
// volume, otherwise the erase window with its run started. Shown, raised
// and centred; the caller runs its modal loop.
std::unique_ptr<QDialog> openWindowFor(const QString& path, const QString& toolPath = QString());

}  // namespace LauncherStartup
