#include "ToolCon/DarkLook.h"

#include <QMenu>
#include <QPalette>
#include <QTextDocument>
#include <QToolTip>

namespace DarkLook {

namespace {
const QColor kBody(50, 50, 62);
const QColor kText(237, 239, 240);
const QColor kBorder(70, 70, 86);
const QColor kChosen(40, 130, 220);
}  // namespace

QPalette palette()
{
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, kBody);
        p.setColor(group, QPalette::Base, kBody);
        p.setColor(group, QPalette::ToolTipBase, kBody);
        p.setColor(group, QPalette::WindowText, kText);
        p.setColor(group, QPalette::Text, kText);
        p.setColor(group, QPalette::ButtonText, kText);
        p.setColor(group, QPalette::ToolTipText, kText);
        p.setColor(group, QPalette::Button, kBody);
        p.setColor(group, QPalette::Highlight, kChosen);
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    p.setColor(QPalette::Disabled, QPalette::Window, kBody);
    p.setColor(QPalette::Disabled, QPalette::Base, kBody);
    p.setColor(QPalette::Disabled, QPalette::ToolTipBase, kBody);
    const QColor faint(kText.red(), kText.green(), kText.blue(), 90);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(QPalette::Disabled, role, faint);
    return p;
}

void applyToToolTips()
{
    QToolTip::setPalette(palette());
}

void applyToMenu(QMenu* menu)
{
    if (!menu)
        return;
    menu->setPalette(palette());
    // A style sheet as well: a menu opened from a widget with a style sheet
    // of its own would otherwise be drawn by that sheet's defaults.
    menu->setStyleSheet(QStringLiteral(
        "QMenu { background: rgb(50,50,62); color: rgb(237,239,240); border: 1px solid rgb(70,70,86); }"
        "QMenu::item { padding: 4px 22px; }"
        "QMenu::item:selected { background: rgb(40,130,220); color: white; }"
        "QMenu::item:disabled { color: rgba(237,239,240,90); }"
        "QMenu::separator { height: 1px; background: rgb(70,70,86); margin: 3px 6px; }"));
}

QString plainToolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    // A tip is read as markup when it looks like it: as markup, then, whose
    // one paragraph is the text escaped.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace DarkLook
