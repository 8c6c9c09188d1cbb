#pragma once
#include "PopWindow/PanelController.h"

// A notice with one button that closes its panel (`superDelegate`).
class NoticeDialog : public PanelController
{
    Q_OBJECT
public:
    explicit NoticeDialog(QWidget* parent = nullptr) : PanelController(parent) {}

    void okButtonAction() { closePanel(); }

    // Opens an address of the maker's as the desktop user; the labels'
    // links come here too.
    static void openLink(const QString& url);
};
