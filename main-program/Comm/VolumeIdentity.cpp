#include "Comm/VolumeIdentity.h"

QStringList expectedMediumArguments(const VolumeObj& volume)
{
    QStringList args{QStringLiteral("--expect-sequence=%1").arg(volume.diskSequence)};
    if (!volume.fileSystemUUID.isEmpty())
        args << QStringLiteral("--expect-uuid=") + volume.fileSystemUUID;
    return args;
}
