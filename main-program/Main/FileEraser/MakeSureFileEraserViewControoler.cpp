#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"

MakeSureFileEraserViewControoler::MakeSureFileEraserViewControoler(QWidget* parent)
    : MakeSureDialog(QStringLiteral("Erase the selected items?"),
                     QStringLiteral("The selected files and folders will be erased and cannot be recovered. Do you want to continue?"), parent)
{
}

void MakeSureFileEraserViewControoler::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToEraserSelectFiles();
}
