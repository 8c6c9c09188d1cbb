#include "Comm/FontCache.h"
#include "TempTree.h"
#include "platform/SettingsFile.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

TEST(FontCache, FollowsTheSettingsFileAndFallsBack)
{
    ScopedLayout layout;
    const auto settings = platform::SettingsFile::shared();
    // Nothing named yet: the application font at the wanted weight.
    QFont light = FontCache::lightFont(13);
    EXPECT_EQ(light.family(), QGuiApplication::font().family());
    EXPECT_EQ(light.weight(), QFont::Light);
    EXPECT_EQ(light.pixelSize(), 13) << "sizes are pixels, as the frames are";
    EXPECT_EQ(FontCache::boldFont(12).weight(), QFont::Bold);

    if (!QFontDatabase::hasFamily("Lato"))
        GTEST_SKIP() << "fonts-lato is not installed";
    ASSERT_TRUE(settings.setValue("FontLight", "Lato Light"));
    ASSERT_TRUE(settings.setValue("FontBold", "Lato Bold"));
    ASSERT_TRUE(settings.setValue("FontRegular", "No Such Font Anywhere"));
    QTRY_COMPARE(FontCache::lightFontName(), QString("Lato Light"));
    QTRY_COMPARE(FontCache::boldFontName(), QString("Lato Bold"));
    EXPECT_EQ(QFontInfo(FontCache::lightFont(14)).styleName(), "Light");
    const QFont bold = FontCache::boldFont(14);
    EXPECT_EQ(bold.family(), "Lato");
    EXPECT_EQ(QFontInfo(bold).weight(), QFont::Bold);
    // Named but not installed: the application font, regular weight.
    const QFont regular = FontCache::regularFont(14);
    EXPECT_EQ(regular.family(), QGuiApplication::font().family());
    EXPECT_EQ(regular.weight(), QFont::Normal);
}
