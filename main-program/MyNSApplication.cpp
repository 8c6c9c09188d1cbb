#include "MyNSApplication.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QWidget>

MyNSApplication::MyNSApplication(int& argc, char** argv) : QApplication(argc, argv) {}

const char* MyNSApplication::editActionFor(const QKeyEvent& event)
{
    // Caps Lock never shows among the modifiers, so Ctrl with it counts as Ctrl.
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) {
        switch (event.key()) {
        case Qt::Key_X: return "cut";
        case Qt::Key_C: return "copy";
        case Qt::Key_V: return "paste";
        case Qt::Key_Z: return "undo";
        case Qt::Key_A: return "selectAll";
        default: return nullptr;
        }
    }
    if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && event.key() == Qt::Key_Z)
        return "redo";
    return nullptr;
}

bool MyNSApplication::sendEditAction(const char* action)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        return false;
    const QMetaObject* meta = target->metaObject();
    if (meta->indexOfMethod(QMetaObject::normalizedSignature((QByteArray(action) + "()").constData())) < 0)
        return false;
    return QMetaObject::invokeMethod(target, action);
}

bool MyNSApplication::notify(QObject* receiver, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        if (const char* action = editActionFor(*static_cast<QKeyEvent*>(event)))
            if (sendEditAction(action))
                return true;
    }
    return QApplication::notify(receiver, event);
}
