#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"

MakeSureWipeFreeSpaceViewController::MakeSureWipeFreeSpaceViewController(QWidget* parent)
    : MakeSureDialog(QStringLiteral("Wipe the free space?"),
                     QStringLiteral("The free space of the selected drive will be overwritten. This may take a long time. Do you want to continue?"), parent)
{
}

void MakeSureWipeFreeSpaceViewController::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToWipeFreeSpaceSelectVolume();
}
