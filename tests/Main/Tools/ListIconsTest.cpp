#include "Main/Tools/ListIcons.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

bool drawsSomething(const QIcon& icon)
{
    const QImage image = icon.pixmap(24, 24).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

}  // namespace

// The suite runs with no desktop environment variables at all, as the
// program does under pkexec.
TEST(ListIcons, FilesAndFoldersGetIconsWithoutTheDesktopsVariables)
{
    ASSERT_TRUE(qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP") || qunsetenv("XDG_CURRENT_DESKTOP"));
    const QIcon folder = ListIcons::iconFor("/tmp/some folder", true);
    const QIcon text = ListIcons::iconFor("/tmp/notes.txt", false);
    const QIcon picture = ListIcons::iconFor("/tmp/photo.jpg", false);
    const QIcon unknown = ListIcons::iconFor("/tmp/data.zz-no-such-type", false);
    const QIcon none = ListIcons::iconFor("/tmp/README", false);
    for (const QIcon* icon : {&folder, &text, &picture, &unknown, &none})
        EXPECT_TRUE(drawsSomething(*icon));
    EXPECT_FALSE(ListIcons::themeName().isEmpty());
    // Different kinds look different.
    EXPECT_NE(folder.pixmap(24, 24).toImage(), text.pixmap(24, 24).toImage());
    EXPECT_NE(picture.pixmap(24, 24).toImage(), text.pixmap(24, 24).toImage());
}
