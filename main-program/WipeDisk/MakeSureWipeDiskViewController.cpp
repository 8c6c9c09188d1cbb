#include "WipeDisk/MakeSureWipeDiskViewController.h"

MakeSureWipeDiskViewController::MakeSureWipeDiskViewController(QWidget* parent)
    : MakeSureDialog(QStringLiteral("Wipe the selected drive?"),
                     QStringLiteral("Everything on the selected drive will be erased and cannot be recovered. Do you want to continue?"), parent)
{
}

void MakeSureWipeDiskViewController::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToWipeSelectVolume();
}
