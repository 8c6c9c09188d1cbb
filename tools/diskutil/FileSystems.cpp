#include "FileSystems.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/utsname.h>

namespace diskutil {

namespace {

QStringList withLabel(const QStringList& base, const QString& option, const QString& label)
{
    QStringList args = base;
    if (!label.isEmpty())
        args << option << label;
    return args;
}

FileSystem fat(int bits)
{
    FileSystem fs;
    fs.name = QStringLiteral("MS-DOS FAT%1").arg(bits);
    fs.blkidType = QStringLiteral("vfat");
    fs.blkidVersion = QStringLiteral("FAT%1").arg(bits);
    if (bits == 32)
        fs.aliases = {QStringLiteral("MS-DOS"), QStringLiteral("FAT32"), QStringLiteral("vfat")};
    else
        fs.aliases = {QStringLiteral("FAT%1").arg(bits)};
    fs.formatTool = QStringLiteral("mkfs.vfat");
    fs.formatArgs = [bits](const QString& label) {
        return withLabel({QStringLiteral("-F"), QString::number(bits)}, QStringLiteral("-n"), label);
    };
    fs.labelTool = QStringLiteral("fatlabel");
    fs.labelArgs = [](const QString& device, const QString& label) {
        return QStringList{QStringLiteral("--"), device, label};
    };
    fs.formatterClaimsDevice = true;
    fs.labelMax = 11;
    fs.labelUnit = LabelUnit::Characters;
    fs.labelForbidden = QStringLiteral("*?.,;:/\\|+=<>[]\"");
    fs.upperCaseLabel = true;
    fs.checker = QStringLiteral("fsck.vfat");
    fs.verifyArgs = {QStringLiteral("-n")};
    fs.repairArgs = {QStringLiteral("-a"), QStringLiteral("-w")};
    fs.verifyOkCodes = {0};
    fs.repairOkCodes = {0, 1};  // 1: errors were found and fixed
    fs.kernelDriver = QStringLiteral("vfat");
    fs.fuseDriver = QStringLiteral("fusefat");
    // blkdev makes umount wait for the driver to let go of the device; fsname
    // puts the device in the mount table, where the volume is looked up.
    fs.fuseArgs = [](const QString& device, const QString& mountPoint) {
        return QStringList{QStringLiteral("-o"),
                           QStringLiteral("rw+,blkdev,allow_other,subtype=vfat,fsname=") + device,
                           device, mountPoint};
    };
    return fs;
}

FileSystem ext(int version)
{
    FileSystem fs;
    fs.name = QStringLiteral("ext%1").arg(version);
    fs.blkidType = fs.name;
    fs.formatTool = QStringLiteral("mkfs.") + fs.name;
    fs.formatArgs = [](const QString& label) {
        return withLabel({QStringLiteral("-F"), QStringLiteral("-q")}, QStringLiteral("-L"), label);
    };
    fs.formatterClaimsDevice = true;
    fs.labelTool = QStringLiteral("e2label");
    fs.labelArgs = [](const QString& device, const QString& label) { return QStringList{device, label}; };
    fs.labelMax = 16;
    fs.labelUnit = LabelUnit::Utf8Bytes;
    fs.labelsWhileMounted = true;
    fs.checker = QStringLiteral("e2fsck");
    fs.verifyArgs = {QStringLiteral("-f"), QStringLiteral("-n")};
    fs.repairArgs = {QStringLiteral("-f"), QStringLiteral("-y")};
    fs.verifyOkCodes = {0};
    fs.repairOkCodes = {0, 1, 2};  // 1 and 2: errors were corrected
    fs.checkerClaimsDevice = true;
    fs.kernelDriver = fs.name;
    return fs;
}

QList<FileSystem> makeTable()
{
    QList<FileSystem> table{fat(32), fat(16), fat(12)};

    FileSystem exfat;
    exfat.name = QStringLiteral("ExFAT");
    exfat.blkidType = QStringLiteral("exfat");
    exfat.formatTool = QStringLiteral("mkfs.exfat");
    exfat.formatArgs = [](const QString& label) { return withLabel({}, QStringLiteral("-L"), label); };
    exfat.formatterClaimsDevice = true;
    exfat.labelTool = QStringLiteral("exfatlabel");
    exfat.labelArgs = [](const QString& device, const QString& label) { return QStringList{device, label}; };
    exfat.labelMayStartWithDash = false;  // exfatlabel takes no "--"
    exfat.labelMax = 11;  // the volume label entry holds 11 UTF-16 units
    exfat.labelUnit = LabelUnit::Utf16Units;
    exfat.checker = QStringLiteral("fsck.exfat");
    exfat.verifyArgs = {QStringLiteral("-n")};
    exfat.repairArgs = {QStringLiteral("-y")};
    exfat.repairOkCodes = {0, 1};
    exfat.checkerClaimsDevice = true;
    exfat.kernelDriver = QStringLiteral("exfat");
    exfat.fuseDriver = QStringLiteral("mount.exfat-fuse");
    exfat.fuseArgs = [](const QString& device, const QString& mountPoint) {
        return QStringList{QStringLiteral("-o"), QStringLiteral("allow_other"), device, mountPoint};
    };
    table << exfat;

    FileSystem hfs;
    hfs.name = QStringLiteral("Journaled HFS+");
    hfs.blkidType = QStringLiteral("hfsplus");
    hfs.aliases = {QStringLiteral("HFS+"), QStringLiteral("hfsplus"), QStringLiteral("JHFS+")};
    hfs.formatTool = QStringLiteral("mkfs.hfsplus");
    hfs.formatArgs = [](const QString& label) { return withLabel({QStringLiteral("-J")}, QStringLiteral("-v"), label); };
    hfs.labelMax = 255;
    hfs.labelUnit = LabelUnit::Utf16Units;
    hfs.checker = QStringLiteral("fsck.hfsplus");
    hfs.verifyArgs = {QStringLiteral("-n")};
    hfs.repairArgs = {QStringLiteral("-y")};
    hfs.kernelDriver = QStringLiteral("hfsplus");
    table << hfs;

    FileSystem ntfs;
    ntfs.name = QStringLiteral("NTFS");
    ntfs.blkidType = QStringLiteral("ntfs");
    ntfs.aliases = {QStringLiteral("ntfs3")};
    ntfs.formatTool = QStringLiteral("mkntfs");
    ntfs.formatArgs = [](const QString& label) {
        return withLabel({QStringLiteral("-Q"), QStringLiteral("-F")}, QStringLiteral("-L"), label);
    };
    ntfs.labelTool = QStringLiteral("ntfslabel");
    ntfs.labelArgs = [](const QString& device, const QString& label) { return QStringList{device, label}; };
    ntfs.labelMayStartWithDash = false;  // ntfslabel takes no "--"
    ntfs.labelReader = QStringLiteral("ntfslabel");
    // Reading only (-n writes nothing); -f reads a mounted volume too.
    ntfs.labelReaderArgs = {QStringLiteral("-n"), QStringLiteral("-f")};
    ntfs.labelMax = 128;
    ntfs.labelUnit = LabelUnit::Utf16Units;
    ntfs.checker = QStringLiteral("ntfsfix");
    ntfs.verifyArgs = {QStringLiteral("-n")};
    ntfs.repairArgs = {};
    // The kernel's own NTFS drivers are not relied on: ntfs-3g is the one
    // that writes safely everywhere.
    ntfs.fuseDriver = QStringLiteral("ntfs-3g");
    ntfs.fuseArgs = [](const QString& device, const QString& mountPoint) {
        return QStringList{device, mountPoint};
    };
    table << ntfs;

    table << ext(4) << ext(3) << ext(2);

    FileSystem xfs;
    xfs.name = QStringLiteral("xfs");
    xfs.blkidType = xfs.name;
    xfs.formatTool = QStringLiteral("mkfs.xfs");
    xfs.formatArgs = [](const QString& label) { return withLabel({QStringLiteral("-f")}, QStringLiteral("-L"), label); };
    xfs.labelTool = QStringLiteral("xfs_admin");
    xfs.labelArgs = [](const QString& device, const QString& label) {
        return QStringList{QStringLiteral("-L"), label.isEmpty() ? QStringLiteral("--") : label, device};
    };
    xfs.labelMax = 12;
    xfs.checker = QStringLiteral("xfs_repair");
    xfs.verifyArgs = {QStringLiteral("-n")};
    xfs.checkerClaimsDevice = true;  // libxfs opens it exclusively to write
    xfs.kernelDriver = xfs.name;
    table << xfs;

    FileSystem btrfs;
    btrfs.name = QStringLiteral("btrfs");
    btrfs.blkidType = btrfs.name;
    btrfs.formatTool = QStringLiteral("mkfs.btrfs");
    btrfs.formatArgs = [](const QString& label) { return withLabel({QStringLiteral("-f")}, QStringLiteral("-L"), label); };
    btrfs.labelTool = QStringLiteral("btrfs");
    btrfs.labelArgs = [](const QString& device, const QString& label) {
        return QStringList{QStringLiteral("filesystem"), QStringLiteral("label"), device, label};
    };
    btrfs.labelMax = 255;
    btrfs.labelsWhileMounted = true;
    btrfs.checker = QStringLiteral("btrfs");
    btrfs.verifyArgs = {QStringLiteral("check"), QStringLiteral("--readonly")};
    btrfs.repairArgs = {QStringLiteral("check"), QStringLiteral("--repair")};
    btrfs.checkerClaimsDevice = true;  // check opens it exclusively
    btrfs.kernelDriver = btrfs.name;
    table << btrfs;

    return table;
}

int labelLength(const QString& label, LabelUnit unit)
{
    switch (unit) {
    case LabelUnit::Characters: return int(label.toUcs4().size());
    case LabelUnit::Utf16Units: return int(label.size());
    case LabelUnit::Utf8Bytes: return int(label.toUtf8().size());
    }
    return int(label.size());
}

}  // namespace

QString FileSystem::normalizedLabel(const QString& label) const
{
    return upperCaseLabel ? label.toUpper() : label;
}

QString FileSystem::labelProblem(const QString& label) const
{
    const QString normalized = normalizedLabel(label);
    if (labelMax > 0 && labelLength(normalized, labelUnit) > labelMax) {
        const char* unit = labelUnit == LabelUnit::Utf8Bytes ? "bytes" : "characters";
        return QStringLiteral("the name \"%1\" is too long: %2 names have at most %3 %4")
            .arg(label, name)
            .arg(labelMax)
            .arg(QLatin1String(unit));
    }
    if (!labelMayStartWithDash && normalized.startsWith('-'))
        return QStringLiteral("%1 names cannot start with \"-\"").arg(name);
    for (const QChar c : normalized)
        if (labelForbidden.contains(c))
            return QStringLiteral("%1 names cannot hold any of the characters %2").arg(name, labelForbidden);
    if (normalized.contains(QChar('\n')) || normalized.contains(QChar('\0')))
        return QStringLiteral("a volume name cannot hold a line feed or a null character");
    return {};
}

const QList<FileSystem>& fileSystems()
{
    static const QList<FileSystem> table = makeTable();
    return table;
}

const FileSystem* fileSystemForProbe(const QString& blkidType, const QString& blkidVersion)
{
    if (blkidType.isEmpty())
        return nullptr;
    const FileSystem* typeOnly = nullptr;
    for (const FileSystem& fs : fileSystems()) {
        if (fs.blkidType != blkidType)
            continue;
        if (fs.blkidVersion.isEmpty() || fs.blkidVersion == blkidVersion)
            return &fs;
        if (!typeOnly)
            typeOnly = &fs;  // a FAT whose version blkid did not say: the first FAT row
    }
    return typeOnly;
}

const FileSystem* fileSystemNamed(const QString& name)
{
    for (const FileSystem& fs : fileSystems()) {
        if (fs.name.compare(name, Qt::CaseInsensitive) == 0)
            return &fs;
        for (const QString& alias : fs.aliases)
            if (alias.compare(name, Qt::CaseInsensitive) == 0)
                return &fs;
    }
    return nullptr;
}

bool kernelHasDriver(const QString& type)
{
    QFile filesystems(QStringLiteral("/proc/filesystems"));
    if (filesystems.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : filesystems.readAll().split('\n')) {
            if (line.split('\t').last().trimmed() == type.toUtf8())
                return true;
        }
    }
    // Not loaded yet: mount loads a module that the kernel ships.
    utsname uts{};
    if (::uname(&uts) != 0)
        return false;
    QFile deps(QStringLiteral("/lib/modules/%1/modules.dep").arg(QString::fromUtf8(uts.release)));
    if (!deps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray module = '/' + type.toUtf8() + ".ko";
    for (const QByteArray& line : deps.readAll().split('\n')) {
        const QByteArray path = line.left(line.indexOf(':'));
        if (path.endsWith(module) || path.contains(module + '.'))
            return true;
    }
    return false;
}

QString findProgram(const QString& program)
{
    if (program.startsWith('/'))
        return QFileInfo(program).isExecutable() ? program : QString();
    QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                         QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return found;
}

}  // namespace diskutil
