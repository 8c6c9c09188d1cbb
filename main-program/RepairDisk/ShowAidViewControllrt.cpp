#include "RepairDisk/ShowAidViewControllrt.h"

#include "ProgressView/RFOverlayScroller.h"
#include "RepairDisk/AidProgress.h"
#include "ToolCon/TextImageButton.h"
#include "platform/ImageStore.h"
#include "ui_ShowAidViewControllrt.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

ShowAidViewControllrt::ShowAidViewControllrt(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::ShowAidViewControllrt>())
{
    ui->setupUi(this);
    ui->completeBut->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                                QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    ui->completeBut->setTextWithName(QStringLiteral("Complete"), 12);
    ui->completeBut->setButtonEnabled(false);
    connect(ui->completeBut, &QAbstractButton::clicked, this, &ShowAidViewControllrt::completeButAction);
    RFOverlayScroller::overlay(ui->showTableView);
    ui->showTableView->setColumnCount(1);
    ui->showTableView->horizontalHeader()->hide();
    ui->showTableView->verticalHeader()->hide();
    ui->showTableView->horizontalHeader()->setStretchLastSection(true);
    ui->showTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->showTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->showTableView->setWordWrap(true);
    ui->showTableView->setShowGrid(false);
    ui->iconImageView->setPixmap(platform::imageNamed(QStringLiteral("ic_repair"), ui->iconImageView->size()));
    ui->progress->changeProgressValue(1);
}

ShowAidViewControllrt::~ShowAidViewControllrt() = default;

int ShowAidViewControllrt::rowHeightFor(const QString& text)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int h = metrics.boundingRect(QRect(0, 0, 450, 1 << 20), Qt::TextWordWrap, text).height();
    if (h > 30 && h < 36)
        return 36;
    return std::max(h, 20);
}

void ShowAidViewControllrt::addRow(const QString& text)
{
    m_allShowStrArr << text;
    QTableWidget* table = ui->showTableView;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(text));
    table->setRowHeight(row, rowHeightFor(text));
    table->scrollToBottom();
}

void ShowAidViewControllrt::changeShowOutPut(const QString& text)
{
    addRow(text.endsWith('\n') ? text.chopped(1) : text);
}

void ShowAidViewControllrt::setProgressValue(float value)
{
    if (m_finished)
        return;
    ui->progress->changeProgressValue(std::min(5.0f * value, 99.0f));
}

void ShowAidViewControllrt::finishWithStatus(int exitCode, const QString& errors)
{
    if (m_finished)
        return;
    m_finished = true;
    for (const QString& line : errors.split('\n', Qt::SkipEmptyParts))
        addRow(line);
    m_failed = exitCode != 0;
    if (m_failed) {
        const QString why = exitCode < 0 ? QStringLiteral("First Aid could not be run to its end.")
                                         : QStringLiteral("First Aid failed: the volume has problems it did not repair.");
        ui->nodeLabel->setTextFormat(Qt::PlainText);
        ui->nodeLabel->setText(why);
        ui->nodeLabel->setStyleSheet(QStringLiteral("color: rgb(255,110,100);"));
    } else {
        ui->nodeLabel->setText(QStringLiteral("First Aid finished: the volume appears to be OK."));
    }
    ui->progress->changeProgressValue(100);
    ui->completeBut->setButtonEnabled(true);
    // The end takes Return, Space and Escape at once, wherever the keyboard
    // was in the output while it ran.
    setDefaultButton(ui->completeBut);
    setCancelButton(ui->completeBut);
    ui->completeBut->takeKeyboardFocus();
}

void ShowAidViewControllrt::completeButAction()
{
    if (!m_finished)
        return;  // the dialog cannot be left while the checker runs
    closePanel();
    if (m_delegate)
        m_delegate->closeShowAidWindow();
}

AidProgress* ShowAidViewControllrt::progress() const { return ui->progress; }
TextImageButton* ShowAidViewControllrt::completeBut() const { return ui->completeBut; }
QTableWidget* ShowAidViewControllrt::showTableView() const { return ui->showTableView; }
QLabel* ShowAidViewControllrt::nodeLabel() const { return ui->nodeLabel; }
