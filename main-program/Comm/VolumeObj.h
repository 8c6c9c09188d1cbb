#pragma once
#include <QString>

#include <cstdint>
#include <memory>

// One volume as the drive wiper and the Disk Manager list it. The two tools
// fill it from different keys of diskutil's answers: `volumeType` and
// `volRootDir` belong to the wiper, `diskType` and `diskUUID` to the Disk
// Manager, and `volumePath` is a device node in the wiper's records but a
// device identifier in the Disk Manager's. A record never passes between them.
class VolumeObj
{
public:
    QString volumeName;
    QString volumeType;          // file-system name (wiper)
    QString diskType;            // file-system name (Disk Manager)
    QString volumePath;          // what commands act on
    QString volRootDir;          // device node for the wiper's erase
    QString volumeMountPoint;    // empty while not mounted
    QString volumeTotalSize;     // display texts
    QString volumeFreeSize;
    int64_t volumeFreeSizeNum = 0;
    int64_t volumeTotalSizeNum = 0;
    QString diskUUID;            // DiskUUID (Disk Manager); clones of a stick share it, so it names no one volume
    bool bCanEject = false;
    QString BusProtocol;
    QString parentWholeDisk;
    bool isWritable = false;
    // Which medium the row stands for (diskutil's DiskSequence and
    // VolumeUUID): a command is refused when the node holds another by then.
    uint64_t diskSequence = 0;
    QString fileSystemUUID;

    // Declared by the record but set and read by nobody.
    QString diskId;
    QString diskMediaName;
    QString diskSMARTStatus;
    QString diskContent;
    QString diskEx;
    QString vORpStr;
    int16_t volumeNum = 0;
    bool isInter = false;
    bool isSolidState = false;
    bool isDisk = false;
    bool isOeners = false;
    int32_t chrCount = 0;
};

using VolumeObjPtr = std::shared_ptr<VolumeObj>;
