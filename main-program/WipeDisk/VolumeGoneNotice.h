#pragma once
#include "WipeDisk/MakeSureDialog.h"

// Told after a confirmation when the volume it named is no longer at its
// device: nothing was wiped. One button, "OK", for Return and Escape alike.
class VolumeGoneNotice : public MakeSureDialog
{
    Q_OBJECT
public:
    explicit VolumeGoneNotice(QWidget* parent = nullptr);

protected:
    void tellDelegate() override {}
};
