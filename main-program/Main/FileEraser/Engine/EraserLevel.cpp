#include "Main/FileEraser/Engine/EraserLevel.h"

#include <algorithm>

const QList<EraserLevel>& eraserLevels()
{
    static const QList<EraserLevel> levels = {
        {1, QStringLiteral("HMG Infosec Standard 5"), QStringLiteral("-fsvrz")},
        // Two passes are not an srm mode of their own: the single pass stands in.
        {2, QStringLiteral("Peter Gutmann's algorithm 2"), QStringLiteral("-fsvrz")},
        {3, QStringLiteral("U.S. Army AR380-19"), QStringLiteral("-fEvrz")},
        {7, QStringLiteral("DoD 5220.22-M ECE"), QStringLiteral("-fmvrz")},
        {35, QStringLiteral("Peter Gutmann's algorithm 35"), QStringLiteral("-fvrz")},
    };
    return levels;
}

const EraserLevel& eraserLevelFor(int value)
{
    const QList<EraserLevel>& levels = eraserLevels();
    const auto found = std::find_if(levels.cbegin(), levels.cend(), [value](const EraserLevel& l) { return l.value == value; });
    return found == levels.cend() ? levels.first() : *found;
}
