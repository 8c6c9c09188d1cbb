#include "Comm/FontCache.h"

#include "platform/Layout.h"
#include "platform/SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>

namespace {

// Changes when the file is rewritten or replaced.
qint64 stampOf(const QFileInfo& info)
{
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() ^ (info.size() << 40) : -1;
}

class FontNames : public QObject
{
public:
    QString light, regular, bold;

    static FontNames& shared()
    {
        static FontNames* names = new FontNames;
        names->followLayout();
        return *names;
    }

    void reload()
    {
        const auto dict = platform::SettingsFile(m_path).read();
        light = dict ? dict->value(QStringLiteral("FontLight")).toString() : QString();
        regular = dict ? dict->value(QStringLiteral("FontRegular")).toString() : QString();
        bold = dict ? dict->value(QStringLiteral("FontBold")).toString() : QString();
        const QFileInfo info(m_path);
        m_stamp = stampOf(info);
        // A rename over the file drops it from the watch list; watch the new one.
        if (info.exists() && !m_watcher->files().contains(m_path))
            m_watcher->addPath(m_path);
    }

private:
    FontNames()
    {
        if (auto* app = QCoreApplication::instance())
            moveToThread(app->thread());
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { reload(); });
        // The folder changes for every file in it; read again only when ours did.
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
            const QFileInfo info(m_path);
            const qint64 stamp = stampOf(info);
            if (stamp != m_stamp || !m_watcher->files().contains(m_path))
                reload();
        });
    }

    // Tests and the launcher switch layouts; the settings file moves with them.
    void followLayout()
    {
        const QString prefix = platform::Layout::current().prefix();
        if (prefix == m_prefix && !m_path.isEmpty())
            return;
        m_prefix = prefix;
        if (!m_watcher->files().isEmpty())
            m_watcher->removePaths(m_watcher->files());
        if (!m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
        m_path = platform::SettingsFile::shared().path();
        const QString folder = QFileInfo(m_path).absolutePath();
        if (QFileInfo::exists(folder))
            m_watcher->addPath(folder);
        reload();
    }

    QFileSystemWatcher* m_watcher = nullptr;
    QString m_prefix;
    QString m_path;
    qint64 m_stamp = -1;
};

const QStringList& weightWords()
{
    static const QStringList words{QStringLiteral("Thin"),   QStringLiteral("Light"),  QStringLiteral("Regular"),
                                   QStringLiteral("Medium"), QStringLiteral("Semibold"), QStringLiteral("Bold"),
                                   QStringLiteral("Black")};
    return words;
}

QFont::Weight weightOfWord(const QString& word)
{
    static const QFont::Weight weights[] = {QFont::Thin,   QFont::Light,    QFont::Normal, QFont::Medium,
                                            QFont::DemiBold, QFont::Bold, QFont::Black};
    const int i = weightWords().indexOf(word);
    return i < 0 ? QFont::Normal : weights[i];
}

void setSize(QFont& font, qreal size)
{
    font.setPixelSize(std::max(1, qRound(size)));
}

QFont fontNamed(const QString& name, qreal size, QFont::Weight wanted)
{
    if (!name.isEmpty()) {
        if (QFontDatabase::hasFamily(name)) {
            QFont font(name);
            setSize(font, size);
            return font;
        }
        // Names like "Lato Bold" are a family and a weight, not a family.
        const int space = name.lastIndexOf(' ');
        if (space > 0) {
            const QString family = name.left(space);
            const QString word = name.mid(space + 1);
            if (weightWords().contains(word) && QFontDatabase::hasFamily(family)) {
                QFont font(family);
                setSize(font, size);
                font.setWeight(weightOfWord(word));
                return font;
            }
        }
    }
    QFont font = QGuiApplication::font();
    setSize(font, size);
    font.setWeight(wanted);
    return font;
}

}  // namespace

QFont FontCache::lightFont(qreal size)
{
    return fontNamed(FontNames::shared().light, size, QFont::Light);
}

QFont FontCache::regularFont(qreal size)
{
    return fontNamed(FontNames::shared().regular, size, QFont::Normal);
}

QFont FontCache::boldFont(qreal size)
{
    return fontNamed(FontNames::shared().bold, size, QFont::Bold);
}

QString FontCache::lightFontName()
{
    return FontNames::shared().light;
}

QString FontCache::regularFontName()
{
    return FontNames::shared().regular;
}

QString FontCache::boldFontName()
{
    return FontNames::shared().bold;
}

void FontCache::reload()
{
    FontNames::shared().reload();
}

void FontCache::useNames(const QString& light, const QString& regular, const QString& bold)
{
    FontNames& names = FontNames::shared();
    names.light = light;
    names.regular = regular;
    names.bold = bold;
}

QFont FontCache::inPixels(QFont font, qreal size)
{
    setSize(font, size);
    return font;
}
