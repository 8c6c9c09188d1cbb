#include "platform/PlistFile.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>

namespace platform::plist {

namespace {

// Seconds between 1970-01-01 and the property-list epoch, 2001-01-01 UTC.
constexpr qint64 kPlistEpochOffset = 978307200;

// XML 1.0 has no way to carry the control characters below 0x20 (but tab,
// newline and carriage return), not even as character references, and a
// strict reader rejects the whole file for one. A name that is not ours (a
// volume label) may hold them: they are written as the noncharacters
// U+FDD0..U+FDEF, which XML carries and text never holds, and read back.
constexpr char16_t kControlBase = 0xFDD0;

bool isXmlForbidden(char16_t c) { return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF; }

QByteArray xmlSafeUtf8(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return isXmlForbidden(c.unicode()); }))
        return text.toUtf8();
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() < 0x20 && isXmlForbidden(c.unicode()))
            c = QChar(char16_t(kControlBase + c.unicode()));
        else if (isXmlForbidden(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return out.toUtf8();
}

QString fromXmlSafeUtf8(const char* utf8)
{
    QString text = QString::fromUtf8(utf8 ? utf8 : "");
    for (QChar& c : text)
        if (c.unicode() >= kControlBase && c.unicode() < kControlBase + 0x20)
            c = QChar(char16_t(c.unicode() - kControlBase));
    return text;
}

QVariant toVariant(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(fromXmlSafeUtf8(key), toVariant(value));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char* s = nullptr;
        if (plist_get_node_type(node) == PLIST_KEY)
            plist_get_key_val(node, &s);
        else
            plist_get_string_val(node, &s);
        QString text = fromXmlSafeUtf8(s);
        std::free(s);
        return text;
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        // libplist stores every integer as a 64-bit pattern; negative ones come back two's-complement.
        return QVariant::fromValue<qint64>(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return v;
    }
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return v != 0;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch((qint64(sec) + kPlistEpochOffset) * 1000 + usec / 1000,
                                              QTimeZone::utc());
    }
    case PLIST_DATA: {
        char* d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        QByteArray bytes(d, static_cast<qsizetype>(len));
        std::free(d);
        return bytes;
    }
    default:
        return QVariant();
    }
}

plist_t fromVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            plist_dict_set_item(dict, xmlSafeUtf8(it.key()).constData(), fromVariant(it.value()));
        return dict;
    }
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantHash hash = v.toHash();
        for (auto it = hash.begin(); it != hash.end(); ++it)
            map.insert(it.key(), it.value());
        return fromVariant(map);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : v.toList())
            plist_array_append_item(array, fromVariant(item));
        return array;
    }
    case QMetaType::Bool:
        return plist_new_bool(v.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return plist_new_uint(static_cast<uint64_t>(v.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return plist_new_data(b.constData(), static_cast<uint64_t>(b.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = v.toDateTime().toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
        return plist_new_date(static_cast<int32_t>(ms / 1000), static_cast<int32_t>((ms % 1000) * 1000));
    }
    default:
        return plist_new_string(xmlSafeUtf8(v.toString()).constData());
    }
}

}  // namespace

std::optional<QVariant> parse(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    plist_t root = nullptr;
    if (plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())))
        plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    else
        plist_from_xml(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    QVariant v = toVariant(root);
    plist_free(root);
    return v;
}

QByteArray toXml(const QVariant& root)
{
    plist_t node = fromVariant(root);
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(node, &xml, &len);
    QByteArray out(xml, static_cast<qsizetype>(len));
    plist_to_xml_free(xml);
    plist_free(node);
    return out;
}

std::optional<QVariantMap> readDictionary(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const auto v = parse(file.readAll());
    if (!v) {
        if (error)
            *error = QStringLiteral("not a property list");
        return std::nullopt;
    }
    if (v->typeId() != QMetaType::QVariantMap) {
        if (error)
            *error = QStringLiteral("the root is not a dictionary");
        return std::nullopt;
    }
    return v->toMap();
}

bool writeDictionary(const QString& path, const QVariantMap& dict, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(toXml(dict));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace platform::plist
