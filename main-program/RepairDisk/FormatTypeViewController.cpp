#include "RepairDisk/FormatTypeViewController.h"

#include "Comm/FontCache.h"
#include "ui_FormatTypeViewController.h"

#include <QLabel>
#include <QStandardPaths>

namespace {
constexpr int kTypes = 3;
constexpr int kHfs = 2;
}  // namespace

FormatTypeViewController::FormatTypeViewController(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::FormatTypeViewController>())
{
    ui->setupUi(this);
    for (SortSelectBgView* r : {ui->view_1, ui->view_2, ui->view_4})
        r->setDelegate(this);
    const QString why = whyNot(kHfs);
    if (!why.isEmpty()) {
        // Shown, so the user learns why it is not there, but not chosen.
        ui->view_4->setEnabled(false);
        ui->view_4->setToolTip(why);
        ui->label_2->setStyleSheet(QStringLiteral("color: rgba(0,0,0,100);"));
        auto* note = new QLabel(QStringLiteral("mkfs.hfsplus not installed"), ui->view_4);
        note->setObjectName(QStringLiteral("hfsReason"));
        note->setFont(FontCache::lightFont(11));
        note->setStyleSheet(QStringLiteral("color: rgba(0,0,0,130);"));
        note->setGeometry(ui->label_2->x(), ui->label_2->geometry().bottom() + 1, ui->label_2->width(), 14);
        ui->view_4->resize(ui->view_4->width(), ui->view_4->height() + 14);
        resize(width(), height() + 14);
    }
}

FormatTypeViewController::~FormatTypeViewController() = default;

QString FormatTypeViewController::whyNot(int type)
{
    if (type == kHfs && QStandardPaths::findExecutable(QStringLiteral("mkfs.hfsplus")).isEmpty()
        && QStandardPaths::findExecutable(QStringLiteral("mkfs.hfsplus"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")}).isEmpty())
        return QStringLiteral("Cannot be made here: mkfs.hfsplus is not installed.");
    return {};
}

void FormatTypeViewController::moveHighlight(int step, int fromType)
{
    int at = m_highlighted >= 0 ? m_highlighted : fromType;
    if (m_highlighted >= 0 && step != 0) {
        // One step over the types that can be made, stopping at either end.
        for (int next = at + step; next >= 0 && next < kTypes; next += step)
            if (whyNot(next).isEmpty()) {
                at = next;
                break;
            }
    }
    if (at < 0 || at >= kTypes || !whyNot(at).isEmpty()) {
        at = -1;
        for (int type = 0; type < kTypes && at < 0; ++type)
            if (whyNot(type).isEmpty())
                at = type;
    }
    if (at < 0)
        return;
    m_highlighted = at;
    for (int type = 0; type < kTypes; ++type)
        row(type)->setHighlighted(type == at);
}

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
    if (m_delegate && r && r->isEnabled())
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
