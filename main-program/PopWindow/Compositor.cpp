#include "PopWindow/Compositor.h"

#include <QByteArray>
#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <cstdlib>
#endif

namespace {

std::function<bool()>& replacedCheck()
{
    static std::function<bool()> check;
    return check;
}

#if QT_CONFIG(xcb)
// The screen number of DISPLAY (":0.1" is screen 1), which names the selection.
int displayScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

bool x11SelectionOwned(xcb_connection_t* connection)
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(displayScreenNumber());
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, name.size(), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE)
        return false;  // never interned: nobody ever owned it
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}
#endif

bool platformCompositor()
{
#if QT_CONFIG(xcb)
    // The offscreen platform answers the X11 interface too, without a display.
    if (qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
            return x11SelectionOwned(connection);
        return false;
    }
#endif
    return true;
}

}  // namespace

namespace Compositor {

bool isRunning()
{
    if (const auto& check = replacedCheck())
        return check();
    return platformCompositor();
}

void setCheck(std::function<bool()> check)
{
    replacedCheck() = std::move(check);
}

}  // namespace Compositor
