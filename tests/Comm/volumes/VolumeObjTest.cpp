#include "Comm/VolumeObj.h"

#include <QList>

#include <gtest/gtest.h>

// Screens share a volume by its pointer: what one list changes, the other
// sees, and a copy of the record is not the record.
TEST(VolumeObj, SharedRecordsAreOneRecordCopiesAreNot)
{
    auto volume = std::make_shared<VolumeObj>();
    volume->volumeName = QStringLiteral("USB");
    QList<VolumeObjPtr> listed{volume};
    QList<VolumeObjPtr> selected{listed.first()};
    selected.first()->volumeMountPoint = QStringLiteral("/media/usb");
    EXPECT_EQ(listed.first()->volumeMountPoint, "/media/usb");
    EXPECT_EQ(listed.first(), selected.first());

    VolumeObj copy = *volume;
    copy.volumeName = QStringLiteral("Other");
    EXPECT_EQ(volume->volumeName, "USB");
    EXPECT_TRUE(VolumeObj().volumeMountPoint.isNull()) << "an unfilled record reads no mount point";
}
