#include "RepairDisk/RepairDiskTableCellView.h"

#include "Comm/GetColor.h"
#include "ToolCon/TextImageButton.h"
#include "ui_RepairDiskTableCellView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

RepairDiskTableCellView::RepairDiskTableCellView(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::RepairDiskTableCellView>())
{
    ui->setupUi(this);
    for (TextImageButton* b : buttons())
        b->installEventFilter(this);
}

void RepairDiskTableCellView::settleFor(int ms)
{
    if (ms > 0)
        m_settled.setRemainingTime(ms);
}

bool RepairDiskTableCellView::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type t = event->type();
    if ((t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick)
        && isSettling())
        return true;
    return QWidget::eventFilter(watched, event);
}

RepairDiskTableCellView::~RepairDiskTableCellView() = default;

void RepairDiskTableCellView::setIsSelect(bool select)
{
    m_isSelect = select;
    update();
}

void RepairDiskTableCellView::setFocusRing(bool ring)
{
    if (m_focusRing == ring)
        return;
    m_focusRing = ring;
    update();
}

TextImageButton* RepairDiskTableCellView::button(const QString& identifier) const
{
    for (TextImageButton* b : buttons())
        if (b->objectName() == identifier)
            return b;
    return nullptr;
}

QList<TextImageButton*> RepairDiskTableCellView::buttons() const
{
    return {ui->save, ui->open, ui->mount, ui->fristaid, ui->rename, ui->format, ui->eject};
}

QLabel* RepairDiskTableCellView::iconView() const { return ui->icon; }
QLabel* RepairDiskTableCellView::nameField() const { return ui->name; }
QLabel* RepairDiskTableCellView::typeField() const { return ui->type; }
QLabel* RepairDiskTableCellView::sizeField() const { return ui->size; }
QWidget* RepairDiskTableCellView::editNameView() const { return ui->editname; }
QLineEdit* RepairDiskTableCellView::editNameField() const { return ui->editField; }

void RepairDiskTableCellView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath background;
    background.addRoundedRect(QRectF(20, 0, 690, 88), 8, 8);
    painter.fillPath(background, m_isSelect ? getColor(255, 255, 255, 0.1f) : getColor(50, 50, 61, 1));
    if (m_focusRing) {
        QPainterPath ring;
        ring.addRoundedRect(QRectF(21, 1, 688, std::min(88, height()) - 2), 7, 7);
        painter.strokePath(ring, QPen(getColor(77, 163, 255, 1), 2));
    }
}

void RepairDiskTableCellView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !isSettling())
        emit pressed();
    // Taken here: passed on, the list would make the row its current one
    // and scroll to it, moving rows under the pointer.
    event->accept();
}
