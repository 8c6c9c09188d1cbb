#include "platform/ImageStore.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// Every picture the screens name.
const QStringList& namedPictures()
{
    static const QStringList names = [] {
        QStringList n;
        for (const char* family : {"btn_pril", "btn_secl", "btn_main", "btn_s", "btn_pri", "btn_b", "back", "sortby", "ic_close"})
            for (const char* state : {"_normal", "_press", "_hover", "_disable"})
                n << QString::fromLatin1(family) + state;
        n << "btn_main" << "btn_pri" << "back" << "sortby" << "ic_close" << "ic_add";
        n << "checkbox_yes" << "checkbox_no" << "checkbox_election" << "radiobutton_sel" << "radiobutton_no";
        for (const char* nav : {"ic_file", "ic_wipe_hdd", "ic_wipe_free", "ic_repair", "ic_uninstall", "ic_internet"})
            n << nav << QString::fromLatin1(nav) + "_sel";
        n << "ic_history" << "ic_history_none" << "ic_export" << "ic_trash" << "ic_trash_hover" << "ic_usb" << "ic_os"
          << "ic_disk" << "step" << "step_ok" << "step_loading";
        for (const char* tab : {"tab_app", "tab_wid", "tab_plugin"})
            n << tab << QString::fromLatin1(tab) + "_sel";
        n << "icon_history" << "icon_download" << "icon_password" << "icon_cookies" << "icon_caches" << "icon_autofill"
          << "icon_tabform";
        for (const char* kind : {"close", "minimize", "zoom"})
            n << QStringLiteral("window-button-%1-active").arg(kind) << QStringLiteral("window-button-%1-hover").arg(kind);
        n << "window-button-all-inactive";
        return n;
    }();
    return names;
}

// Names passed as literals to the picture calls anywhere in the program's sources.
QSet<QString> namesInSources()
{
    QSet<QString> names;
    const QRegularExpression call(R"((?:imageNamed|iconNamed|hasImage|setImageFromFileNormalName)\s*\(([^;]*))");
    const QRegularExpression literal(R"delim("([A-Za-z0-9_\-]+)")delim");
    for (const char* root : {"main-program", "launcher"}) {
        QDirIterator it(QStringLiteral(TV_SOURCE_DIR "/") + root, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = call.globalMatch(text); m.hasNext();)
                for (auto l = literal.globalMatch(m.next().captured(1)); l.hasNext();)
                    names.insert(l.next().captured(1));
        }
    }
    return names;
}

bool drawsSomething(const QString& name)
{
    const QImage image = platform::imageNamed(name).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

}  // namespace

TEST(ImageStore, EveryNamedPictureExistsAndDrawsSomething)
{
    for (const QString& name : namedPictures()) {
        EXPECT_TRUE(platform::hasImage(name)) << name.toStdString();
        EXPECT_TRUE(drawsSomething(name)) << name.toStdString();
    }
}

TEST(ImageStore, EveryPictureTheSourcesNameExists)
{
    for (const QString& name : namesInSources())
        EXPECT_TRUE(platform::hasImage(name)) << name.toStdString() << " is named in the sources but not drawn";
}

TEST(ImageStore, UnknownNameDrawsNothing)
{
    EXPECT_FALSE(platform::hasImage("no_such_picture"));
    EXPECT_TRUE(platform::imageNamed("no_such_picture", QSize(10, 10)).isNull());
}

TEST(ImageStore, TheCommandLineToolCarriesNoPicture)
{
    // A compiled-in resource keeps its file names as UTF-16; this program
    // links the pictures, so it shows what the check looks for.
    const auto holdsPictureName = [](const QString& binary) {
        QFile file(binary);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << binary.toStdString();
        const QString name = QStringLiteral("radiobutton_sel.svg");
        const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
        const QByteArray bytes = file.readAll();
        QByteArray swapped = utf16;
        for (qsizetype i = 0; i + 1 < swapped.size(); i += 2)
            std::swap(swapped[i], swapped[i + 1]);
        return bytes.contains(utf16) || bytes.contains(swapped);
    };
    ASSERT_TRUE(holdsPictureName(QCoreApplication::applicationFilePath()));
    EXPECT_FALSE(holdsPictureName(QStringLiteral(TV_STAGE_DIR "/libexec/tarnwick-vantoly/diskutil")));
}
