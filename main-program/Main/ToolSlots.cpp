#include "Main/ToolSlots.h"

#include "Main/FileEraser/FileEraserViewController.h"
#include "Main/MainWindowTool.h"
#include "inter/InternetViewController.h"

// A screen plugs in by returning its controller here, e.g.
//     return new WipeDiskViewController;
// once its class derives from MainWindowTool. Until then its container stays empty.

MainWindowTool* makeFileEraserTool() { return new FileEraserViewController; }
MainWindowTool* makeWipeDiskTool() { return nullptr; }
MainWindowTool* makeRepairDiskTool() { return nullptr; }
MainWindowTool* makeUninstallTool() { return nullptr; }
MainWindowTool* makeInternetTool() { return new InternetViewController; }

ToolSlots ToolSlots::standard()
{
    return ToolSlots{makeFileEraserTool, makeWipeDiskTool, makeRepairDiskTool, makeUninstallTool, makeInternetTool};
}
