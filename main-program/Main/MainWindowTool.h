#pragma once
// What the main window and its tool screens say to each other. Header only,
// so a tool's library needs no link to the main window's.

class QWidget;

// The main window as a tool sees it (the tool's `superDelegate`).
class MainWindowToolHost
{
public:
    virtual ~MainWindowToolHost() = default;
    // NO while a job runs: the navigation ignores clicks until YES.
    virtual void canChangeType(bool canChange) = 0;
};

// A tool screen as the main window sees it. Every operation is optional.
// The screen is a widget; the main window parents it into the tool's
// container and owns it from then on.
class MainWindowTool
{
public:
    virtual ~MainWindowTool() = default;
    virtual QWidget* toolView() = 0;
    // Only the file shredder and the drive wiper are given the host.
    virtual void setSuperDelegate(MainWindowToolHost* host) { (void)host; }
    // The drive wiper and the Disk Manager list volumes afresh.
    virtual void getallVolumes() {}
    // The drive wiper: 1 Wipe Hard Drive, 2 Wipe Free Space.
    virtual void changeFormatOrFreeSpaceView(int type) { (void)type; }
    // The drive wiper removes its free-space fill folder; every way out of
    // the program calls it first.
    virtual void endAppRemoveFolder() {}
};
