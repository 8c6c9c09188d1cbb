#pragma once
#include <QList>
#include <QString>

// The user default that holds the chosen level. Each program reads its own
// user's defaults: root's in the main program, the user's in the launcher.
inline const QString kEraserTimesKey = QStringLiteral("EraserTimes");

// One erasure level: the number stored under kEraserTimesKey, the name the
// screens show and the history records, and the srm flags that carry it out.
struct EraserLevel
{
    int value;
    QString name;
    QString flags;
};

// The levels the chooser offers, in its order.
const QList<EraserLevel>& eraserLevels();
// The row of `value`; the first (a single pass) for a value not offered, as a
// stored level of 0, 4 or -5.
const EraserLevel& eraserLevelFor(int value);
