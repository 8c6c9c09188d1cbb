#pragma once
#include <QIcon>
#include <QList>
#include <QString>

#include <memory>

class BrowerObj;
using BrowerObjPtr = std::shared_ptr<BrowerObj>;
using BrowerObjList = QList<BrowerObjPtr>;

// One node of the Internet Cleanup tree: a browser with its categories as
// children, or a category with its browser as parent.
class BrowerObj
{
public:
    // What a category's last measure or clean came to. Our own addition: a
    // row that could not be read or cleaned says so instead of "0 Item", and
    // one this program has no clean for is never called cleaned. NoProfile:
    // the browser's profile was not found; NothingFound: cleaned where there
    // was nothing to clean, which is not the same as removed.
    enum class Outcome { Measured, Unreadable, Cleaned, Failed, Untouched, NoProfile, NothingFound };

    // The browser that holds this category; null on a browser. A back link.
    BrowerObj* parObj = nullptr;
    // Browser: its display name; category: its key in EraserHistory.plist.
    QString name;
    BrowerObjList chrArr;
    // The Size column's text.
    QString size;
    // Category only: the path format whose "%@" receives the user's home.
    QString urlStr;
    QIcon iconImage;
    // Browser: its desktop entry's Icon (a theme name or a file), turned into
    // `iconImage` on the main thread.
    QString iconName;
    // 0 not ticked, 1 ticked, 2 partly ticked (browsers only).
    int isSelect = 0;

    // Browser only: the word of EraserHistory.plist it was found under, and
    // the program its desktop entry starts (for finding it running).
    QString browserKey;
    QString execProgram;
    // Browser only: the folder the browser is installed in, links followed
    // (Firefox keeps one profile per installation); empty when unknown.
    QString installDir;

    Outcome outcome = Outcome::Measured;
    // Why the last measure or clean failed, for the end view and the log.
    QString failReason;

    bool isBrowser() const { return parObj == nullptr; }
};
