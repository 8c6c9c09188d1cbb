#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace diskutil {

// How a label's length is counted by its file system.
enum class LabelUnit { Characters, Utf8Bytes, Utf16Units };

// One file-system personality: the name the tool prints and accepts, and the
// programs that make, label, check and mount it. Adding a file system means
// adding one row to the table in FileSystems.cpp.
struct FileSystem
{
    QString name;                 // FilesystemName, e.g. "MS-DOS FAT32"
    QString blkidType;            // TYPE as blkid reports it
    QString blkidVersion;         // VERSION that must match too (FAT12/16/32); empty: any
    QStringList aliases;          // further names eraseVolume accepts (case-insensitive)

    QString formatTool;
    std::function<QStringList(const QString& label)> formatArgs;  // the device follows
    // The formatter opens the device exclusively itself (and fails while
    // anything else holds it); one that does not is covered by our claim.
    bool formatterClaimsDevice = false;

    QString labelTool;
    std::function<QStringList(const QString& device, const QString& label)> labelArgs;
    int labelMax = 0;
    LabelUnit labelUnit = LabelUnit::Utf8Bytes;
    bool upperCaseLabel = false;
    bool labelsWhileMounted = false;  // its label tool is safe on a mounted volume
    bool labelMayStartWithDash = true;  // false where the label tool would read it as an option
    QString labelForbidden;         // characters its tools refuse in a label
    // Reads the label where blkid gets it wrong (it skips NTFS's sector
    // fix-ups, so a long NTFS name comes back with a byte replaced).
    QString labelReader;
    QStringList labelReaderArgs;    // the device follows

    QString checker;
    QStringList verifyArgs;        // the device follows
    QStringList repairArgs;
    QList<int> verifyOkCodes{0};
    QList<int> repairOkCodes{0};
    // The checker opens the device exclusively itself to repair it (and
    // fails while anything else holds it); one that does not repairs under
    // our claim, so nothing can mount the volume meanwhile.
    bool checkerClaimsDevice = false;

    QString kernelDriver;          // mount -t <this>; empty when only FUSE serves it
    QString fuseDriver;            // program used where the kernel has no driver
    std::function<QStringList(const QString& device, const QString& mountPoint)> fuseArgs;

    // The label as this file system stores it (upper case for FAT).
    QString normalizedLabel(const QString& label) const;
    // Empty when the label fits, otherwise the reason, with the limit.
    QString labelProblem(const QString& label) const;
};

const QList<FileSystem>& fileSystems();

// The personality of a probed volume; nullptr for an unknown type.
const FileSystem* fileSystemForProbe(const QString& blkidType, const QString& blkidVersion);
// The personality named by eraseVolume's type argument; nullptr when unknown.
const FileSystem* fileSystemNamed(const QString& name);

// Whether the running kernel can mount `type` itself (built in or as a module).
bool kernelHasDriver(const QString& type);
// The program's full path, found on PATH or in the system folders (a root
// shell's PATH may lack sbin); empty when it is not installed.
QString findProgram(const QString& program);

}  // namespace diskutil
