#include "Main/Tools/CustemTextField.h"

#include "Main/Tools/CustemTextFieldCell.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>

CustemTextField::CustemTextField(QWidget* parent)
    : QLineEdit(parent), m_cell(new CustemTextFieldCell), m_blink(new QTimer(this))
{
    setStyle(m_cell);
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    m_blink->setInterval(flash > 0 ? flash / 2 : 500);
    connect(m_blink, &QTimer::timeout, this, [this] {
        m_caretOn = !m_caretOn;
        update();
    });
}

CustemTextField::~CustemTextField()
{
    // The field's style must outlive the field's own use of it.
    setStyle(nullptr);
    delete m_cell;
}

void CustemTextField::focusInEvent(QFocusEvent* event)
{
    // The standard handling first, so the field really edits, then the news.
    QLineEdit::focusInEvent(event);
    m_caretOn = true;
    m_blink->start();
    if (m_delegate)
        m_delegate->beginToEnditForTextField();
}

void CustemTextField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    m_blink->stop();
    m_caretOn = false;
    update();
}

void CustemTextField::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (!hasFocus() || !m_caretOn || isReadOnly())
        return;
    const QRect caret = cursorRect();
    QPainter painter(this);
    const int x = caret.center().x();
    painter.fillRect(QRect(x, caret.top(), 1, caret.height()), m_cell->insertionPointColor());
}
