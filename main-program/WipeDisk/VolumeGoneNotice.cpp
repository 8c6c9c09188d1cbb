#include "WipeDisk/VolumeGoneNotice.h"

#include "ToolCon/TextImageButton.h"

VolumeGoneNotice::VolumeGoneNotice(QWidget* parent)
    : MakeSureDialog(QStringLiteral("The volume is no longer there"),
                     QStringLiteral("The volume you chose is no longer there, or another disk took its place. "
                                    "Nothing was wiped: choose the volume again."),
                     parent)
{
    setObjectName(QStringLiteral("volumeGoneNotice"));
    noButton()->hide();
    okButton()->setTextWithName(QStringLiteral("OK"), 14);
    setCancelButton(okButton());
}
