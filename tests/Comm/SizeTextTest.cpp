#include "Comm/CommUti.h"
#include "platform/InvokingUser.h"
#include "Comm/GetColor.h"
#include "Comm/PublicUtilities.h"
#include "TempTree.h"
#include "platform/InvokingUser.h"

#include <clocale>

#include <QDir>
#include <QSet>

#include "LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

TEST(SizeText, UnsignedTextsStartAtKilobytesAndStopAtGigabytes)
{
    EXPECT_EQ(CommUti::convertVolSpace(0), "0.00 KB");
    EXPECT_EQ(CommUti::convertVolSpace(500), "0.50 KB");
    EXPECT_EQ(CommUti::convertVolSpace(999999), "1000.00 KB");
    EXPECT_EQ(CommUti::convertVolSpace(1000000), "1.00 MB");
    EXPECT_EQ(CommUti::convertVolSpace(999999999), "1000.00 MB");
    EXPECT_EQ(CommUti::convertVolSpace(2500000000ULL), "2.50 GB");
    EXPECT_EQ(CommUti::convertVolSpace(5000000000000ULL), "5000.00 GB");
}

TEST(SizeText, SignedTextsRunFromBytesToTerabytes)
{
    EXPECT_EQ(CommUti::longlongDiskSize(-5), "-5 byte");
    EXPECT_EQ(CommUti::longlongDiskSize(999), "999 byte");
    EXPECT_EQ(CommUti::longlongDiskSize(1000), "1.00 KB");
    EXPECT_EQ(CommUti::longlongDiskSize(999999), "1000.00 KB");
    EXPECT_EQ(CommUti::longlongDiskSize(1000000), "1.00 MB");
    EXPECT_EQ(CommUti::longlongDiskSize(999999999999LL), "1000.00 GB");
    EXPECT_EQ(CommUti::longlongDiskSize(1000000000000LL), "1.00 TB");
}

TEST(SizeText, ParsersReadTheirOwnTextsBack)
{
    for (auto parse : {&PublicUtilities::volSpaceFromString, &CommUti::volSpaceFromString}) {
        EXPECT_NEAR(double(parse("2.50 GB")), 2.5e9, 2.5e9 * 1e-6);
        EXPECT_NEAR(double(parse("1.50 MB")), 1.5e6, 1.5e6 * 1e-6);
        EXPECT_NEAR(double(parse("999.00 KB")), 999000, 1);
        EXPECT_NEAR(double(parse("1.00 TB")), 1e12, 1e12 * 1e-6);
        EXPECT_EQ(parse("512 byte"), 0u);
        EXPECT_EQ(parse("0.00 KB"), 0u);
        EXPECT_EQ(parse(""), 0u);
        EXPECT_EQ(parse("garbage"), 0u);
        EXPECT_EQ(parse("-3.00 MB"), 0u);  // never a wrapped-around huge count
    }
    // Round trips at the table's boundaries.
    for (uint64_t bytes : {999ULL, 1000ULL, 999999ULL, 1000000ULL, 123456789ULL, 2500000000ULL})
        EXPECT_NEAR(double(CommUti::volSpaceFromString(CommUti::convertVolSpace(bytes))), double(bytes),
                    double(bytes) * 0.01);
}

TEST(SizeText, TextsDoNotDependOnTheLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(CommUti::convertVolSpace(2500000000ULL), "2.50 GB");
    EXPECT_EQ(CommUti::longlongDiskSize(1500), "1.50 KB");
    EXPECT_NEAR(double(CommUti::volSpaceFromString("2.50 GB")), 2.5e9, 1e4);
    std::setlocale(LC_ALL, saved.c_str());
}

namespace {

std::function<long(int*)> answers(int value)
{
    return [value](int* out) -> long {
        *out = value;
        return 0;
    };
}

std::function<long(int*)> fails(long error)
{
    return [error](int*) { return error; };
}

}  // namespace

TEST(CommonToolbox, SystemVersionDecodesPackedOrAsksForTheParts)
{
    using Sources = PublicUtilities::VersionSources;
    int major = 0, minor = 0, bugFix = 0;
    // Packed decimal digits: 10.3.9.
    PublicUtilities::getSystemVersionMajor(Sources{answers(0x1039), fails(-1), fails(-1), fails(-1)}, &major, &minor,
                                           &bugFix);
    EXPECT_EQ(std::tuple(major, minor, bugFix), std::tuple(10, 3, 9));
    // Past 0x103F the packed form cannot be trusted: 10.9.5 comes from the parts.
    const Sources mavericks{answers(0x1095), answers(10), answers(9), answers(5)};
    EXPECT_EQ(PublicUtilities::getSystemVersion(mavericks), 1009);
    EXPECT_EQ(PublicUtilities::getSystemVersion(Sources{fails(-1), answers(10), answers(14), answers(0)}), 1014);
    EXPECT_EQ(PublicUtilities::getSystemVersion(Sources{fails(-1), answers(11), answers(2), answers(1)}), 1102);
    // Any part failing gives 10.0.0, and says which error it was.
    LogCapture log;
    ASSERT_TRUE(log.ok());
    PublicUtilities::getSystemVersionMajor(Sources{fails(-1), answers(11), fails(-50), answers(1)}, &major, &minor,
                                           &bugFix);
    EXPECT_EQ(std::tuple(major, minor, bugFix), std::tuple(10, 0, 0));
    EXPECT_EQ(PublicUtilities::getSystemVersion(Sources{}), 1000);
    EXPECT_EQ(PublicUtilities::getSystemVersion(Sources{fails(-1), answers(12), answers(1), answers(0)}), 1201);
    EXPECT_EQ(log.lines().filter("system version"), QStringList({"Unable to obtain system version: -50", "Unable to obtain system version: -1"}));
    // Linux stands in with 10.13.0, so checks take the path that needs no access prompt.
    EXPECT_EQ(PublicUtilities::getSystemVersion(), 1013);
}

TEST(CommonToolbox, ColourAndFolderSizes)
{
    const QColor white = getColor(255, 255, 255, 0.5f);
    EXPECT_EQ(white.red(), 255);
    EXPECT_NEAR(white.alphaF(), 0.5, 0.01);
    const QColor panel = getColor(50, 50, 62, 1);
    EXPECT_EQ(panel.rgb(), qRgb(50, 50, 62));

    TempTree tree;
    tree.file("f/a", QByteArray(700, 'x'));
    tree.file("f/b/c", QByteArray(300, 'x'));
    tree.folder("empty");
    EXPECT_EQ(CommUti::sizeOfFileRef(fsref(tree / "f")), 1000u);
    EXPECT_EQ(CommUti::sizeOfFileRef(fsref(tree / "f/a")), 700u);
    EXPECT_EQ(CommUti::sizeOfFileRef(fsref(tree / "empty")), 0u);
    EXPECT_EQ(CommUti::sizeOfFileRef(fsref(tree / "missing")), 0u);
}

TEST(CommonToolbox, SearchRootsAreTheInvokingUsersThenTheSystems)
{
    // The roots lie in the invoking user's home, never in HOME.
    const auto user = platform::invokingUser();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", "/nonexistent-home");
    const QStringList apps = CommUti::applicationPaths();
    const QStringList widgets = CommUti::widgetPaths();
    const QStringList plugins = CommUti::pluginPaths();
    qputenv("HOME", oldHome);

    ASSERT_GE(apps.size(), 3);
    EXPECT_EQ(apps.first(), user.home + "/.local/share/applications");
    EXPECT_EQ(apps.last(), "/usr/share/applications");
    EXPECT_TRUE(apps.contains("/var/lib/flatpak/exports/share/applications"));
    EXPECT_TRUE(widgets.first().startsWith(user.home + "/"));
    EXPECT_TRUE(widgets.contains("/usr/share/gnome-shell/extensions"));
    EXPECT_TRUE(plugins.first().startsWith(user.home + "/"));
    EXPECT_TRUE(plugins.contains("/usr/share/ibus/component"));
    for (const QStringList* list : {&apps, &widgets, &plugins})
        for (const QString& root : *list)
            EXPECT_FALSE(root.startsWith("/nonexistent-home")) << root.toStdString();
}
