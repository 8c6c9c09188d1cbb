#include "uninstall/AMAppItem.h"

AMAppItem::AMAppItem() : date(QDateTime::currentDateTime()) {}

AMAppItem::AMAppItem(const QPixmap& infoDictionary, const QString& name_, const QString& path_,
                     const QString& bundleID_, const QString& bundleVersion_, const QDateTime& date_,
                     const QString& isSystemAppStr_, const QString& size_)
    : image(infoDictionary),
      name(name_),
      path(path_),
      bundleID(bundleID_),
      bundleVersion(bundleVersion_),
      date(date_),
      isSystemAppStr(isSystemAppStr_),
      size(size_)
{
}

std::shared_ptr<AMAppItem> AMAppItem::copy() const
{
    auto c = std::make_shared<AMAppItem>(image, name, path, bundleID, bundleVersion, date, isSystemAppStr, size);
    c->kind = kind;
    c->packageName = packageName;
    c->flatpakUser = flatpakUser;
    c->executable = executable;
    c->iconName = iconName;
    c->companions = companions;
    c->knownBytes = knownBytes;
    c->hasKnownSize = hasKnownSize;
    c->defaultTicked = defaultTicked;
    c->alsoRemoves = alsoRemoves;
    c->planBytes = planBytes;
    c->blocked = blocked;
    return c;
}
