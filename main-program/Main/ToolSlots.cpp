#include "Main/ToolSlots.h"

#include "Main/FileEraser/FileEraserViewController.h"
#include "Main/MainWindowTool.h"
#include "RepairDisk/RepairDiskViewController.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "uninstall/UninstallViewController.h"
#include "inter/InternetViewController.h"

MainWindowTool* makeFileEraserTool() { return new FileEraserViewController; }
// Wipe Hard Drive and Wipe Free Space share this one screen.
MainWindowTool* makeWipeDiskTool() { return new WipeDiskViewController; }
MainWindowTool* makeRepairDiskTool() { return new RepairDiskViewController; }
MainWindowTool* makeUninstallTool() { return new UninstallViewController; }
MainWindowTool* makeInternetTool() { return new InternetViewController; }

ToolSlots ToolSlots::standard()
{
    return ToolSlots{makeFileEraserTool, makeWipeDiskTool, makeRepairDiskTool, makeUninstallTool, makeInternetTool};
}
