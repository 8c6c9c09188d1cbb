#include "LoopVolume.h"
#include "SrmRun.h"

#include <QFile>
#include <QUuid>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QByteArray uniqueMarker(const char* what)
{
    return QByteArray("TV-SRM-PROOF-") + what + "-" + QUuid::createUuid().toByteArray(QUuid::Id128) + "|";
}

}  // namespace

// The real test of a shredder: after it ran, the old contents are nowhere on the
// device. A plainly unlinked control file shows that the scan would find them.
TEST(SrmProof, OldContentsAreGoneFromTheDevice)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 48);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QString root = volume.mountPoint();

    struct Victim
    {
        QString flags;
        QByteArray marker;
        int bytes;
    };
    // Sizes off the block size, so the partly used last block counts too.
    Victim victims[] = {
        {"-fsvrz", uniqueMarker("one"), (4 << 20) + 1000},
        {"-fEvrz", uniqueMarker("three"), (256 << 10) + 300},
        {"-fmvrz", uniqueMarker("seven"), (256 << 10) + 5},
        {"-fvrz", uniqueMarker("thirtyfive"), 200 << 10},
    };
    const QByteArray controlMarker = uniqueMarker("control");
    const auto contentOf = [](const QByteArray& marker, int bytes) {
        return marker.repeated(bytes / int(marker.size()) + 1).left(bytes);
    };
    for (const auto& v : victims)
        writeSynced(root + "/victim" + v.flags, contentOf(v.marker, v.bytes));
    writeSynced(root + "/control", contentOf(controlMarker, 256 << 10));
    ::sync();

    for (const auto& v : victims) {
        const QString path = root + "/victim" + v.flags;
        const SrmRun r = runSrm({v.flags, path});
        EXPECT_EQ(r.code, 0) << v.flags.toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path));
    }
    ASSERT_EQ(::unlink(QFile::encodeName(root + "/control").constData()), 0);
    ASSERT_TRUE(volume.unmount());

    QFile image(volume.image());
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray raw = image.readAll();
    ASSERT_EQ(raw.size(), qint64(48) << 20);
    EXPECT_TRUE(raw.contains(controlMarker)) << "the scan cannot see unlinked data";
    for (const auto& v : victims)
        EXPECT_FALSE(raw.contains(v.marker)) << v.flags.toStdString() << " left the old contents on the device";
}
