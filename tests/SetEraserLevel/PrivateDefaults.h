#pragma once
#include "TempTree.h"

#include <QSettings>

// User defaults private to one test: ctest runs test cases side by side, and
// they must not see each other's `EraserTimes`.
class PrivateDefaults
{
public:
    PrivateDefaults() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_tree.path()); }

private:
    TempTree m_tree;
};
