#include "RepairDisk/FormatTypeViewController.h"

#include "ui_FormatTypeViewController.h"

FormatTypeViewController::FormatTypeViewController(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::FormatTypeViewController>())
{
    ui->setupUi(this);
    for (SortSelectBgView* r : {ui->view_1, ui->view_2, ui->view_4})
        r->setDelegate(this);
}

FormatTypeViewController::~FormatTypeViewController() = default;

QString FormatTypeViewController::typeText(int type)
{
    switch (type) {
    case 0: return QStringLiteral("ExFAT");
    case 1: return QStringLiteral("MS-DOS FAT32");
    case 2: return QStringLiteral("Journaled HFS+");
    default: return {};
    }
}

SortSelectBgView* FormatTypeViewController::row(int type) const
{
    switch (type) {
    case 0: return ui->view_1;
    case 1: return ui->view_2;
    case 2: return ui->view_4;
    default: return nullptr;
    }
}

void FormatTypeViewController::selectSortType(SortSelectBgView* r)
{
    if (m_delegate && r)
        m_delegate->selectFormatbyType(r->identifier().toInt());
}

void FormatTypeViewController::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (m_delegate)
        m_delegate->mouseEixtView(false);
}

void FormatTypeViewController::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_delegate)
        m_delegate->mouseEixtView(true);
}
