#pragma once
// Shared by the wiper's proof tests: a loop volume whose free space holds
// marker files (written, synced, deleted), the count of markers left on the
// raw image, and a run of the wiper's own code to its end.
#include "LoopVolume.h"
#include "WipeDisk/WipeRun.h"

#include <QString>

#include <memory>

namespace wipeproof {

QString diskutilPath();
QString srmPath();
platform::DiskTool diskTool();

// The marker every test plants; unique to this process.
QByteArray marker();

// Fills `fraction` of the free space under `dir` with marker files, syncs,
// deletes them and syncs again. False when that could not be done.
bool plantDeletedMarkers(const QString& dir, double fraction);
bool writeMarkerFile(const QString& path, qint64 bytes);

// Occurrences of `needle` in the file (the raw image).
qint64 countInImage(const QString& image, const QByteArray& needle);

// Stops the kernel from discarding freed blocks of the device, so only the
// wipe can remove the markers.
bool disableDiscard(const QString& device);

// The file-system checker's verdict, read-only. Empty when clean.
QString fsckProblem(const QString& fsType, const QString& device);

// The volume record the wiper's list would give for `device`.
VolumeObjPtr volumeFor(const QString& device);

// Takes a volume the wiper's erase mounted (under the volumes root) off
// again, folder included; retried, since a scan may briefly hold it.
bool unmountWiped(const QString& device, const QString& mountPoint);

// Runs `run` to its end (or `timeoutMs`); false on time-out.
bool runToEnd(WipeRun& run, int timeoutMs = 300000);

}  // namespace wipeproof
