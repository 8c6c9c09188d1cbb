#pragma once
#include <QApplication>

class QKeyEvent;

// The application class: turns the edit shortcuts into actions sent to the
// widget with the focus, whatever widget that is.
class MyNSApplication : public QApplication
{
    Q_OBJECT
public:
    MyNSApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // "cut", "copy", "paste", "undo", "selectAll", "redo", or nothing.
    static const char* editActionFor(const QKeyEvent& event);
    // Sends the action to the focus widget; true when a widget handled it.
    static bool sendEditAction(const char* action);
};
