#pragma once
#include <QByteArray>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <memory>

// One item of a shred list or run. Shared between the engine and its owner
// by shared_ptr, so an item's identity is its pointer.
class FileObj
{
public:
    QString name;                // last path component
    QIcon icon;
    QString url;                 // the full path
    QString type;                // "Folder" or the extension
    int64_t size = 0;            // bytes; 0 for a folder added to the list
    bool isDir = false;
    bool isSelect = false;
    QString failStr;             // "Success"/"Fail" from the engine, "Erased"/"Failed" from an end view
    QString failReason;          // why the engine left it, for "Fail" (the tool's own words where it said)
    bool isSymbolicLink = false;
    bool isSSD = false;          // never set: no test for solid-state drives is settled

    // The path as the file system spells it. A name that is not valid in
    // the locale's encoding does not survive the trip through `url`
    // (x\xff and x\uFFFD would read the same), so whatever touches the file
    // goes by these bytes; empty means `url` encodes exactly.
    QByteArray urlBytes;
    QByteArray pathBytes() const;
    // What the path named when the item was listed (the entry itself, a link
    // not followed). The engine leaves an item alone whose path has come to
    // name something else, such as a folder on the way swapped for a link.
    bool hasIdentity = false;
    uint64_t device = 0;
    uint64_t inode = 0;

    void setIsSymbolicLink();
    static bool isFileSymbolicLink(const QString& path);
    void setIsSSD() {}
};

// The result words an item carries. The engine sets the first two; the end
// views turn them into the last two, which alone reach the history.
namespace Outcome {
inline const QString success = QStringLiteral("Success");
inline const QString fail = QStringLiteral("Fail");
inline const QString erased = QStringLiteral("Erased");
inline const QString failed = QStringLiteral("Failed");
}  // namespace Outcome

using FileObjPtr = std::shared_ptr<FileObj>;
using FileObjList = QList<FileObjPtr>;
