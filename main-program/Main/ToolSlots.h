#pragma once
#include <functional>

class MainWindowTool;

// The five places a tool screen plugs into the main window. Each slot creates
// its screen (the main window owns it from then on); an empty slot, or one
// that gives nothing, leaves its container empty.
struct ToolSlots
{
    using Factory = std::function<MainWindowTool*()>;
    Factory fileEraser;
    Factory wipeDisk;
    Factory repairDisk;
    Factory uninstall;
    Factory internet;

    // The program's own screens.
    static ToolSlots standard();
};

MainWindowTool* makeFileEraserTool();
MainWindowTool* makeWipeDiskTool();
MainWindowTool* makeRepairDiskTool();
MainWindowTool* makeUninstallTool();
MainWindowTool* makeInternetTool();
