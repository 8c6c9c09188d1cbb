#pragma once
#include "Comm/VolumeObj.h"

#include <QStringList>

// The global diskutil options that make an acting command refuse a device
// that holds another medium than the one the user chose in a list: put them
// before the command word.
QStringList expectedMediumArguments(const VolumeObj& volume);

// diskutil's exit status for that refusal.
constexpr int kDiskToolMediumChanged = 3;
