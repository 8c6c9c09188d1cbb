#include "About/UpdateViewController.h"

#include "ui_UpdateViewController.h"

#include "About/UpdateCheck.h"
#include "Comm/EULinkUrl.h"
#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "platform/Background.h"
#include "ToolCon/TextImageButton.h"
#include "platform/Workspace.h"

#include <QFontMetrics>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace {
constexpr int kMinRow = 25;
constexpr int kRowInset = 6;

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

// A tool tip that shows the text as it is. Tips that look like markup are
// shown as rich text, so such a text is escaped and marked as rich text.
QString plainToolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

}  // namespace

UpdateViewController::UpdateViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::UpdateViewController>())
{
    ui->setupUi(this);
    ui->titleLabel->setFont(FontCache::regularFont(13));
    for (QLabel* label : {ui->checkLabel, ui->noNetworkLabel, ui->noUpdateLabel, ui->versionLabel})
        label->setFont(FontCache::lightFont(13));
    ui->titleLable->setFont(FontCache::regularFont(14));
    for (QLabel* label : {ui->titleLabel, ui->titleLable})
        setTextColor(label, getColor(255, 255, 255, 1));
    for (QLabel* label : {ui->checkLabel, ui->noNetworkLabel, ui->noUpdateLabel, ui->versionLabel})
        setTextColor(label, getColor(237, 239, 240, 1));

    const QString secl = QStringLiteral("btn_secl_");
    // The checking page's Close keeps its pressed look on hover.
    setUpButton(ui->proClose, {secl + "normal", secl + "press", secl + "press", secl + "disable"},
                QStringLiteral("Close"));
    setUpButton(ui->noNetClose, {secl + "normal", secl + "press", secl + "hover", secl + "disable"},
                QStringLiteral("Close"));
    setUpButton(ui->noUpdateClose, {secl + "normal", secl + "press", secl + "hover", secl + "disable"},
                QStringLiteral("Finish"));
    setUpButton(ui->haveClose, {secl + "normal", secl + "press", secl + "hover", secl + "disable"},
                QStringLiteral("Remind Me Later"));
    const QString pril = QStringLiteral("btn_pril_");
    setUpButton(ui->updateButton, {pril + "normal", pril + "press", pril + "hover", pril + "disable"},
                QStringLiteral("Install Update"));
    for (TextImageButton* b : {ui->proClose, ui->noNetClose, ui->noUpdateClose, ui->haveClose})
        connect(b, &QAbstractButton::clicked, this, &UpdateViewController::closeWindow);
    connect(ui->updateButton, &QAbstractButton::clicked, this, &UpdateViewController::updateClickHereAction);
    showPage(Page::Checking);
    getVersionChange();
    ui->changeValueScrollView->verticalScrollBar()->setValue(0);
}

UpdateViewController::~UpdateViewController() = default;

void UpdateViewController::setUpButton(TextImageButton* button, const QStringList& images, const QString& title)
{
    button->setImageFromFileNormalName(images[0], images[1], images[2], images[3]);
    button->setTextWithName(title, 14);
    button->setButtonEnabled(true);
}

TextImageButton* UpdateViewController::pageButton(Page page) const
{
    switch (page) {
    case Page::Checking:
        return ui->proClose;
    case Page::NoNetwork:
        return ui->noNetClose;
    case Page::NoUpdate:
        return ui->noUpdateClose;
    case Page::NewVersion:
        return ui->haveClose;
    }
    return nullptr;
}

TextImageButton* UpdateViewController::updateButton() const
{
    return ui->updateButton;
}

void UpdateViewController::getVersionChange()
{
    const QString url = EULinkUrl::GetUrl(QStringLiteral("IniURL"));
    auto probe = UpdateCheck::networkProbe();
    struct Outcome
    {
        bool network = false;
        UpdateCheck::ListRead read;
    };
    platform::runInBackground(
        this,
        [url, probe] {
            Outcome o;
            o.network = probe();
            if (o.network)
                o.read = UpdateCheck::readUpdateList(url);
            return o;
        },
        [this](Outcome o) {
            if (!o.network) {
                showPage(Page::NoNetwork);
                emit checkFinished();
                return;
            }
            if (!o.read.list) {
                // Only a list that was read may say there is nothing newer.
                showPage(Page::NoNetwork);
                ui->noNetworkLabel->setText(o.read.failure);
                emit checkFinished();
                return;
            }
            whatIsNewVersionDiff(o.read.list);
            emit checkFinished();
        });
}

void UpdateViewController::whatIsNewVersionDiff(const std::optional<QVariantMap>& list)
{
    if (!UpdateCheck::isNewer(list, UpdateCheck::localBuildNumber())) {
        showPage(Page::NoUpdate);
        return;
    }
    showPage(Page::NewVersion);
    const QString version = UpdateCheck::displayText(list->value(QStringLiteral("Version"))).value_or(QString());
    ui->versionLabel->setText(QStringLiteral("New features of Version %1:").arg(version));
    ui->titleLable->setText(QStringLiteral("Tarnwick Vantoly %1 has been released.").arg(version));

    const QStringList lines = UpdateCheck::whatIsNewLines(*list);
    QWidget* doc = ui->showVersionScrollView;
    qDeleteAll(doc->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly));
    QList<QLabel*> labels;
    const QFont lightFont = FontCache::lightFont(13);
    for (int j = 0; j < lines.size(); ++j) {
        // Server text is shown as it is, never interpreted as markup.
        auto* label = new QLabel(doc);
        label->setObjectName(QStringLiteral("whatIsNewLine%1").arg(j + 1));
        label->setTextFormat(Qt::PlainText);
        label->setText(QStringLiteral("%1.%2").arg(j + 1).arg(lines[j]));
        label->setToolTip(plainToolTip(lines[j]));
        label->setWordWrap(true);
        label->setFont(lightFont);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setContentsMargins(kRowInset, 0, kRowInset, 0);
        setTextColor(label, getColor(237, 239, 240, 1));
        labels << label;
    }

    // The rows are as wide as what the list shows (less the scroll bar when
    // there is one) and as high as their wrapped text, so no line is cut.
    QScrollArea* area = ui->changeValueScrollView;
    const int viewHeight = area->height();
    const auto layOut = [&](int width) {
        int y = 0;
        for (QLabel* label : labels) {
            const int row = std::max(label->heightForWidth(width), kMinRow);
            label->setGeometry(0, y, width, row);
            y += row;
        }
        return y;
    };
    int width = area->width();
    int height = layOut(width);
    const bool scrolls = height > viewHeight;
    if (scrolls) {
        width -= area->verticalScrollBar()->sizeHint().width();
        height = layOut(width);
    }
    area->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    doc->setFixedSize(width, std::max(height, viewHeight));
    for (QLabel* label : labels)
        label->show();
    area->verticalScrollBar()->setValue(0);
    doc->update();
}

int UpdateViewController::heightForStringDrawing(const QString& text, const QFont& font, int width)
{
    const QFontMetrics fm(font);
    return fm.boundingRect(QRect(0, 0, width, INT_MAX / 2), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text)
        .height();
}

UpdateViewController::Page UpdateViewController::currentPage() const
{
    if (!ui->noNetworkView->isHidden())
        return Page::NoNetwork;
    if (!ui->noUpdateView->isHidden())
        return Page::NoUpdate;
    if (!ui->haveUpdateView->isHidden())
        return Page::NewVersion;
    return Page::Checking;
}

void UpdateViewController::showPage(Page page)
{
    ui->checkProgressView->setVisible(page == Page::Checking);
    ui->noNetworkView->setVisible(page == Page::NoNetwork);
    ui->noUpdateView->setVisible(page == Page::NoUpdate);
    ui->haveUpdateView->setVisible(page == Page::NewVersion);
    // The new-version page has "Install Update" on the right; the others
    // have one button, which Return and Escape both press.
    setDefaultButton(page == Page::NewVersion ? ui->updateButton : pageButton(page));
    setCancelButton(pageButton(page));
    if (isVisible())
        takeInitialFocus();
}

void UpdateViewController::updateClickHereAction()
{
    closeWindow();
    platform::openUrl(EULinkUrl::GetUrl(QStringLiteral("UpdateURL")));
}

void UpdateViewController::closeWindow()
{
    closePanel();
}
