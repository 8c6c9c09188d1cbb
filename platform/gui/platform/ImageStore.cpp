#include "platform/ImageStore.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QSvgRenderer>

namespace platform {

namespace {

QString resourcePath(const QString& name)
{
    return QStringLiteral(":/images/") + name + QStringLiteral(".svg");
}

}  // namespace

bool hasImage(const QString& name)
{
    return !name.isEmpty() && QFile::exists(resourcePath(name));
}

QSize imageSize(const QString& name)
{
    if (!hasImage(name))
        return QSize();
    QSvgRenderer renderer(resourcePath(name));
    return renderer.defaultSize();
}

QPixmap imageNamed(const QString& name, QSize size, qreal devicePixelRatio)
{
    if (!hasImage(name))
        return QPixmap();
    // Drawing an SVG is costly and the same pictures are drawn on every
    // repaint, so each name, size and ratio is drawn once.
    static QMutex mutex;
    static QHash<QString, QPixmap> cache;
    QSvgRenderer renderer(resourcePath(name));
    if (size.isEmpty())
        size = renderer.defaultSize();
    const QString key = QStringLiteral("%1@%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(devicePixelRatio);
    QMutexLocker lock(&mutex);
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}

QIcon iconNamed(const QString& name)
{
    const QPixmap p = imageNamed(name);
    return p.isNull() ? QIcon() : QIcon(p);
}

}  // namespace platform
