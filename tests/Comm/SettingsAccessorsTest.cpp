#include "Comm/CommUti.h"
#include "Comm/EULinkUrl.h"
#include "Comm/PublicUtilities.h"
#include "TempTree.h"
#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void writeSettings(const ScopedLayout& layout, const QByteArray& dictBody)
{
    QFile f(layout.stateFile("VantolyBase.plist"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + dictBody + "</dict></plist>");
}

}  // namespace

TEST(SettingsAccessors, HistoryFlagWriteKeepsTheRestAndIsReadBackAtOnce)
{
    ScopedLayout layout;
    QDir().mkpath(QFileInfo(layout.stateFile("x")).absolutePath());
    writeSettings(layout, "<key>USERNAME</key><string>ann</string><key>FontBold</key><string>Lato Bold</string>"
                          "<key>Link</key><dict><key>UserGuide</key><string>https://www.tarnwick.example/g</string></dict>");
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeVolumeHistory"), "");
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeVolumeHistory").toInt(), 0);
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "1");
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "1");
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "0");
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "0");
    EXPECT_EQ(CommUti::getBoldFontName(), "Lato Bold");
    EXPECT_EQ(platform::SettingsFile::shared().value("USERNAME").toString(), "ann");
    EXPECT_EQ(EULinkUrl::GetUrl("UserGuide"), "https://www.tarnwick.example/g");
}

TEST(SettingsAccessors, LinksAreEmptyWhenAbsentEmptyOrWithoutDictionary)
{
    ScopedLayout layout;
    QDir().mkpath(QFileInfo(layout.stateFile("x")).absolutePath());
    writeSettings(layout, "<key>Link</key><dict><key>UserGuide</key><string></string></dict>");
    EXPECT_EQ(EULinkUrl::GetUrl("UserGuide"), "");
    EXPECT_EQ(EULinkUrl::GetUrl("OnlineHelp"), "");
    writeSettings(layout, "<key>VersionCheck</key><integer>3</integer>");
    EXPECT_EQ(EULinkUrl::GetUrl("UserGuide"), "");
    writeSettings(layout, "<key>Link</key><string>not a dictionary</string>");
    EXPECT_EQ(EULinkUrl::GetUrl("UserGuide"), "");
}

TEST(SettingsAccessors, FontNamesAreStoredByFamily)
{
    ScopedLayout layout;  // seeded from the shipped template
    EXPECT_EQ(CommUti::getLightFontName(), "");
    CommUti::writLightFont(QFont("Lato Light"));
    CommUti::writRegularFont(QFont("Lato"));
    CommUti::writBoldFont(QFont("Lato Bold"));
    EXPECT_EQ(CommUti::getLightFontName(), "Lato Light");
    EXPECT_EQ(CommUti::getRegularFontName(), "Lato");
    EXPECT_EQ(CommUti::getBoldFontName(), "Lato Bold");
    EXPECT_FALSE(EULinkUrl::GetUrl("IniURL").isEmpty());  // the template's links survived
}
