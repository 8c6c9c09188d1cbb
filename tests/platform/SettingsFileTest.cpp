#include "TempTree.h"
#include "platform/Layout.h"
#include "platform/PlistFile.h"
#include "platform/SettingsFile.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using platform::SettingsFile;

namespace {

const char* kSample = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Link</key><dict><key>IniURL</key><string>https://www.tarnwick.example/u.plist</string></dict>
<key>VersionCheck</key><integer>100</integer>
<key>FontBold</key><string>Lato Bold</string>
<key>USERNAME</key><string>ann</string>
</dict></plist>)";

}  // namespace

TEST(SettingsFile, WriteKeepsEveryOtherKeyAndIsSeenByTheNextRead)
{
    TempTree tree;
    const QString path = tree.file("VantolyBase.plist", kSample);
    SettingsFile settings(path);
    ASSERT_TRUE(settings.setValue("WipeFileHistory", "0"));

    const auto dict = SettingsFile(path).read();
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->value("WipeFileHistory").toString(), "0");
    EXPECT_EQ(dict->value("USERNAME").toString(), "ann");
    EXPECT_EQ(dict->value("FontBold").toString(), "Lato Bold");
    EXPECT_EQ(dict->value("VersionCheck").toLongLong(), 100);
    EXPECT_EQ(dict->value("Link").toMap().value("IniURL").toString(), "https://www.tarnwick.example/u.plist");
}

namespace {

// What a rewrite of the file would change: a rename gives a new inode, a
// write in place a new modification time.
struct FileStamp
{
    ino_t inode = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_ino, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

TEST(SettingsFile, AWriteThatChangesNoValueLeavesTheFileAlone)
{
    TempTree tree;
    const QString path = tree.file("VantolyBase.plist", kSample);
    SettingsFile settings(path);
    const FileStamp before = stampOf(path);
    const QByteArray bytes = TempTree::read(path);
    ASSERT_NE(before.inode, 0u);

    EXPECT_TRUE(settings.setValue("USERNAME", "ann"));
    EXPECT_TRUE(settings.setValues({{"FontBold", "Lato Bold"}, {"VersionCheck", 100}}));
    EXPECT_TRUE(settings.setValue("Link", QVariantMap{{"IniURL", "https://www.tarnwick.example/u.plist"}}));
    EXPECT_EQ(stampOf(path), before) << "an unchanged value rewrote the file";
    EXPECT_EQ(TempTree::read(path), bytes);

    // The same text as another type is a change, and so is one new key among old ones.
    EXPECT_TRUE(settings.setValue("VersionCheck", "100"));
    EXPECT_NE(stampOf(path).inode, before.inode);
    EXPECT_EQ(settings.value("VersionCheck").toString(), "100");
    EXPECT_EQ(settings.value("VersionCheck").typeId(), QMetaType::QString);
    const FileStamp afterType = stampOf(path);
    EXPECT_TRUE(settings.setValues({{"USERNAME", "ann"}, {"FontLight", "Lato Light"}}));
    EXPECT_NE(stampOf(path), afterType);
    EXPECT_EQ(settings.value("FontLight").toString(), "Lato Light");
    EXPECT_EQ(settings.value("FontBold").toString(), "Lato Bold");
}

TEST(SettingsFile, WritersOnTwoThreadsLoseNoKey)
{
    TempTree tree;
    const QString path = tree.file("VantolyBase.plist", kSample);
    constexpr int kEach = 40;
    std::thread other([path] {
        for (int i = 0; i < kEach; ++i)
            SettingsFile(path).setValue(QStringLiteral("A%1").arg(i), i);
    });
    for (int i = 0; i < kEach; ++i)
        SettingsFile(path).setValue(QStringLiteral("B%1").arg(i), i);
    other.join();
    const auto dict = SettingsFile(path).read();
    ASSERT_TRUE(dict);
    for (int i = 0; i < kEach; ++i) {
        EXPECT_TRUE(dict->contains(QStringLiteral("A%1").arg(i))) << i;
        EXPECT_TRUE(dict->contains(QStringLiteral("B%1").arg(i))) << i;
    }
}

TEST(SettingsFile, ReadsBinaryInputAndWritesXml)
{
    TempTree tree;
    const auto xml = platform::plist::parse(kSample);
    ASSERT_TRUE(xml);
    // A binary copy made by libplist's own converter path: parse XML, convert through a tool-free round trip.
    const QString path = tree.file("VantolyBase.plist", kSample);
    QProcess conv;
    conv.start("plistutil", {"-i", path, "-o", path + ".bin", "-f", "bin"});
    if (!conv.waitForFinished() || conv.exitCode() != 0)
        GTEST_SKIP() << "plistutil not available to make a binary property list";
    QFile::remove(path);
    QFile::rename(path + ".bin", path);
    ASSERT_FALSE(TempTree::read(path).startsWith("<?xml"));

    SettingsFile settings(path);
    EXPECT_EQ(settings.value("USERNAME").toString(), "ann");
    ASSERT_TRUE(settings.setValue("USERNAME", "bob"));
    EXPECT_TRUE(TempTree::read(path).startsWith("<?xml"));
    EXPECT_EQ(settings.value("FontBold").toString(), "Lato Bold");
}

TEST(SettingsFile, MissingAndCorruptFilesReadEmptyAndAreNeverOverwritten)
{
    TempTree tree;
    SettingsFile missing(tree / "absent.plist");
    EXPECT_FALSE(missing.read());
    EXPECT_FALSE(missing.setValue("USERNAME", "x"));
    EXPECT_FALSE(QFile::exists(tree / "absent.plist"));

    const QString corrupt = tree.file("corrupt.plist", "<plist><dict><key>Link</key>");
    SettingsFile broken(corrupt);
    EXPECT_FALSE(broken.read());
    EXPECT_FALSE(broken.setValue("USERNAME", "x"));
    EXPECT_EQ(TempTree::read(corrupt), QByteArray("<plist><dict><key>Link</key>"));

    const QString array = tree.file("array.plist", "<plist version=\"1.0\"><array/></plist>");
    EXPECT_FALSE(SettingsFile(array).read());
}

TEST(SettingsFile, UnwritableFileFailsTheWriteAndKeepsTheOldContent)
{
    TempTree tree;
    const QString path = tree.file("VantolyBase.plist", kSample);
    // Root writes through file modes, so the file is made immutable instead.
    const bool useFlag = ::geteuid() == 0;
    if (useFlag) {
        if (QProcess::execute("chattr", {"+i", path}) != 0)
            GTEST_SKIP() << "this file system has no immutable flag";
    } else {
        QFile::setPermissions(tree.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    EXPECT_FALSE(SettingsFile(path).setValue("USERNAME", "x"));
    EXPECT_EQ(SettingsFile(path).value("USERNAME").toString(), "ann");
    if (useFlag)
        QProcess::execute("chattr", {"-i", path});
    else
        QFile::setPermissions(tree.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(SettingsFile, SharedFileIsSeededFromTheTemplateOnce)
{
    ScopedLayout layout;
    const QString state = layout.stateFile("VantolyBase.plist");
    EXPECT_FALSE(QFile::exists(state));
    const SettingsFile shared = SettingsFile::shared();
    EXPECT_EQ(shared.path(), state);
    ASSERT_TRUE(shared.setValue("USERNAME", "ann"));
    EXPECT_TRUE(SettingsFile::shared().value("Link").toMap().contains("IniURL"));
    EXPECT_EQ(SettingsFile::shared().value("USERNAME").toString(), "ann");
}

TEST(PlistFile, ValuesSurviveARoundTrip)
{
    QVariantMap inner{{"a", QVariantList{1, "two", true}}};
    QVariantMap root{{"n", qint64(-5)}, {"r", 2.5}, {"d", QByteArray("\x01\x02", 2)}, {"m", inner}};
    const auto back = platform::plist::parse(platform::plist::toXml(root));
    ASSERT_TRUE(back);
    const QVariantMap m = back->toMap();
    EXPECT_EQ(m.value("n").toLongLong(), -5);
    EXPECT_DOUBLE_EQ(m.value("r").toDouble(), 2.5);
    EXPECT_EQ(m.value("d").toByteArray(), QByteArray("\x01\x02", 2));
    const QVariantList list = m.value("m").toMap().value("a").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(1).toString(), "two");
    EXPECT_TRUE(list.at(2).toBool());
}
