#include "inter/FirefoxProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QStandardPaths>

#include <cstring>
#include <utility>

namespace {

struct IniSection
{
    QString name;
    QMap<QString, QString> values;
};

// profiles.ini is plain "key=value" lines under "[section]" headers; paths
// may hold any character but a line break, so no escapes are read.
QList<IniSection> readIni(const QString& path)
{
    QList<IniSection> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            sections.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || sections.isEmpty())
            continue;
        sections.last().values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return sections;
}

QString resolve(const QString& root, const QString& path, bool relative)
{
    if (path.isEmpty())
        return {};
    const QString full = relative ? QDir(root).filePath(path) : path;
    const QString clean = QDir::cleanPath(full);
    return QFileInfo(clean).isDir() ? clean : QString();
}

// CityHash 1.0, from its published description.
constexpr uint64_t k0 = 0xc3a5c85c97cb3127ULL;
constexpr uint64_t k1 = 0xb492b66fbe98f273ULL;
constexpr uint64_t k2 = 0x9ae16a3b2f90404fULL;
constexpr uint64_t k3 = 0xc949d7c7509e6557ULL;
constexpr uint64_t kMul = 0x9ddfea08eb382d69ULL;

uint64_t fetch64(const char* p)
{
    uint64_t r = 0;
    for (int i = 7; i >= 0; --i)
        r = (r << 8) | uint8_t(p[i]);
    return r;
}
uint32_t fetch32(const char* p)
{
    uint32_t r = 0;
    for (int i = 3; i >= 0; --i)
        r = (r << 8) | uint8_t(p[i]);
    return r;
}
uint64_t rotate(uint64_t v, int shift) { return shift == 0 ? v : (v >> shift) | (v << (64 - shift)); }
uint64_t rotateByAtLeast1(uint64_t v, int shift) { return (v >> shift) | (v << (64 - shift)); }
uint64_t shiftMix(uint64_t v) { return v ^ (v >> 47); }
uint64_t hashLen16(uint64_t u, uint64_t v)
{
    uint64_t a = (u ^ v) * kMul;
    a ^= a >> 47;
    uint64_t b = (v ^ a) * kMul;
    b ^= b >> 47;
    return b * kMul;
}

uint64_t hashLen0to16(const char* s, size_t len)
{
    if (len > 8) {
        const uint64_t a = fetch64(s);
        const uint64_t b = fetch64(s + len - 8);
        return hashLen16(a, rotateByAtLeast1(b + len, int(len))) ^ b;
    }
    if (len >= 4) {
        const uint64_t a = fetch32(s);
        return hashLen16(len + (a << 3), fetch32(s + len - 4));
    }
    if (len > 0) {
        const uint8_t a = uint8_t(s[0]);
        const uint8_t b = uint8_t(s[len >> 1]);
        const uint8_t c = uint8_t(s[len - 1]);
        const uint32_t y = uint32_t(a) + (uint32_t(b) << 8);
        const uint32_t z = uint32_t(len) + (uint32_t(c) << 2);
        return shiftMix(y * k2 ^ z * k3) * k2;
    }
    return k2;
}

uint64_t hashLen17to32(const char* s, size_t len)
{
    const uint64_t a = fetch64(s) * k1;
    const uint64_t b = fetch64(s + 8);
    const uint64_t c = fetch64(s + len - 8) * k2;
    const uint64_t d = fetch64(s + len - 16) * k0;
    return hashLen16(rotate(a - b, 43) + rotate(c, 30) + d, a + rotate(b ^ k3, 20) - c + len);
}

std::pair<uint64_t, uint64_t> weakHashLen32WithSeeds(uint64_t w, uint64_t x, uint64_t y, uint64_t z, uint64_t a,
                                                     uint64_t b)
{
    a += w;
    b = rotate(b + a + z, 21);
    const uint64_t c = a;
    a += x;
    a += y;
    b += rotate(a, 44);
    return {a + z, b + c};
}
std::pair<uint64_t, uint64_t> weakHashLen32WithSeeds(const char* s, uint64_t a, uint64_t b)
{
    return weakHashLen32WithSeeds(fetch64(s), fetch64(s + 8), fetch64(s + 16), fetch64(s + 24), a, b);
}

uint64_t hashLen33to64(const char* s, size_t len)
{
    uint64_t z = fetch64(s + 24);
    uint64_t a = fetch64(s) + (len + fetch64(s + len - 16)) * k0;
    uint64_t b = rotate(a + z, 52);
    uint64_t c = rotate(a, 37);
    a += fetch64(s + 8);
    c += rotate(a, 7);
    a += fetch64(s + 16);
    const uint64_t vf = a + z;
    const uint64_t vs = b + rotate(a, 31) + c;
    a = fetch64(s + 16) + fetch64(s + len - 32);
    z = fetch64(s + len - 8);
    b = rotate(a + z, 52);
    c = rotate(a, 37);
    a += fetch64(s + len - 24);
    c += rotate(a, 7);
    a += fetch64(s + len - 16);
    const uint64_t wf = a + z;
    const uint64_t ws = b + rotate(a, 31) + c;
    const uint64_t r = shiftMix((vf + ws) * k2 + (wf + vs) * k0);
    return shiftMix(r * k0 + vs) * k2;
}

}  // namespace

uint64_t cityHash64(const char* s, size_t len)
{
    if (len <= 32)
        return len <= 16 ? hashLen0to16(s, len) : hashLen17to32(s, len);
    if (len <= 64)
        return hashLen33to64(s, len);
    // Longer: the end first, then 64-byte chunks with 56 bytes of state.
    uint64_t x = fetch64(s);
    uint64_t y = fetch64(s + len - 16) ^ k1;
    uint64_t z = fetch64(s + len - 56) ^ k0;
    std::pair<uint64_t, uint64_t> v = weakHashLen32WithSeeds(s + len - 64, len, y);
    std::pair<uint64_t, uint64_t> w = weakHashLen32WithSeeds(s + len - 32, len * k1, k0);
    z += shiftMix(v.second) * k1;
    x = rotate(z + x, 39) * k1;
    y = rotate(y, 33) * k1;
    len = (len - 1) & ~size_t(63);
    do {
        x = rotate(x + y + v.first + fetch64(s + 16), 37) * k1;
        y = rotate(y + v.second + fetch64(s + 48), 42) * k1;
        x ^= w.second;
        y ^= v.first;
        z = rotate(z ^ w.first, 33);
        v = weakHashLen32WithSeeds(s, v.second * k1, x + w.first);
        w = weakHashLen32WithSeeds(s + 32, z + w.second, y);
        std::swap(z, x);
        s += 64;
        len -= 64;
    } while (len != 0);
    return hashLen16(hashLen16(v.first, w.first) + shiftMix(y) * k1 + z, hashLen16(v.second, w.second) + x);
}

QString firefoxInstallHash(const QString& installDir)
{
    if (installDir.isEmpty())
        return {};
    // Firefox hashes the path as it holds it: UTF-16, little-endian.
    QByteArray bytes;
    bytes.reserve(installDir.size() * 2);
    for (const QChar c : installDir) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    // Written as Firefox writes it: upper case, no leading zeros.
    return QString::number(cityHash64(bytes.constData(), size_t(bytes.size())), 16).toUpper();
}

QString firefoxInstallDir(const QString& program)
{
    if (program.isEmpty())
        return {};
    QString path = program;
    if (!QDir::isAbsolutePath(path)) {
        path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            path = QStandardPaths::findExecutable(program, {QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"),
                                                            QStringLiteral("/bin")});
    }
    const QString real = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    if (real.isEmpty())
        return {};
    // A launcher script elsewhere (Debian's /usr/bin/firefox) is not an
    // installation: Firefox's own folder holds its application.ini.
    const QString dir = QFileInfo(real).path();
    return QFileInfo(QDir(dir).filePath(QStringLiteral("application.ini"))).isFile() ? dir : QString();
}

QString firefoxProfileRoot(const QString& legacyRoot, const QString& configRoot)
{
    if (!legacyRoot.isEmpty() && QFileInfo(legacyRoot).isDir())
        return legacyRoot;
    return configRoot;
}

QString firefoxDefaultProfile(const QString& root, const QString& installDir)
{
    if (root.isEmpty())
        return {};
    const QList<IniSection> sections = readIni(QDir(root).filePath(QStringLiteral("profiles.ini")));
    const QString ours = QStringLiteral("Install") + firefoxInstallHash(installDir);
    bool installed = false;
    for (const IniSection& s : sections) {
        if (!s.name.startsWith(QLatin1String("Install")))
            continue;
        installed = true;
        // Sections come in Firefox's own hash order, not by installation:
        // only this installation's own names its profile.
        if (installDir.isEmpty() || s.name.compare(ours, Qt::CaseInsensitive) != 0)
            continue;
        const QString path = s.values.value(QStringLiteral("Default"));
        if (!path.isEmpty())
            return resolve(root, path, QDir::isRelativePath(path));
    }
    // The Default=1 profile beside an [Install...] section is the one older
    // builds used; the installed build has a profile of its own.
    if (installed)
        return {};
    for (const IniSection& s : sections) {
        if (!s.name.startsWith(QLatin1String("Profile")) || s.values.value(QStringLiteral("Default")) != "1")
            continue;
        const QString found = resolve(root, s.values.value(QStringLiteral("Path")),
                                      s.values.value(QStringLiteral("IsRelative"), QStringLiteral("1")) != "0");
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString firefoxCacheProfile(const QString& root, const QString& profile, const QString& cacheRoot)
{
    if (profile.isEmpty() || cacheRoot.isEmpty())
        return {};
    const QString relative = QDir(QDir::cleanPath(root)).relativeFilePath(profile);
    const QString below = relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)
                              ? QFileInfo(profile).fileName()
                              : relative;
    return QDir::cleanPath(QDir(cacheRoot).filePath(below));
}
