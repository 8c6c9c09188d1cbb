#include "Main/FileEraser/FileEraserSortVC.h"

#include "platform/ImageStore.h"
#include "ui_FileEraserSortVC.h"

namespace {

// Rows 1 to 3 are the keys, 4 and 5 the directions; a row's identifier is
// its number less one, so the directions are "3" and "4".
constexpr int kAscendingRow = 4;
constexpr int kAscendingId = kAscendingRow - 1;

}  // namespace

FileEraserSortVC::FileEraserSortVC(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::FileEraserSortVC>())
{
    ui->setupUi(this);
    for (int n = 1; n <= 5; ++n) {
        row(n)->setDelegate(this);
        icon(n)->setPixmap(platform::imageNamed(QStringLiteral("sort_check"), icon(n)->size()));
        setLabelAlpha(label(n), 0.7);
    }
}

FileEraserSortVC::~FileEraserSortVC() = default;

SortSelectBgView* FileEraserSortVC::row(int n) const
{
    SortSelectBgView* rows[] = {ui->view_1, ui->view_2, ui->view_3, ui->view_4, ui->view_5};
    return n >= 1 && n <= 5 ? rows[n - 1] : nullptr;
}

QLabel* FileEraserSortVC::icon(int n) const
{
    QLabel* icons[] = {ui->icon_1, ui->icon_2, ui->icon_3, ui->icon_4, ui->icon_5};
    return n >= 1 && n <= 5 ? icons[n - 1] : nullptr;
}

QLabel* FileEraserSortVC::label(int n) const
{
    QLabel* labels[] = {ui->label_1, ui->label_2, ui->label_3, ui->label_4, ui->label_5};
    return n >= 1 && n <= 5 ? labels[n - 1] : nullptr;
}

void FileEraserSortVC::setLabelAlpha(QLabel* label, double alpha)
{
    label->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, %1)").arg(alpha));
    label->setProperty("alpha", alpha);
}

void FileEraserSortVC::markKey(int key)
{
    m_sortType = key;
    for (int k = SortChoice::byName; k <= SortChoice::bySizeAgain; ++k)
        icon(k + 1)->setVisible(k == key);
    setLabelAlpha(label(key + 1), 1.0);
}

void FileEraserSortVC::markDirection(int direction)
{
    m_sortAD = direction;
    icon(kAscendingRow)->setVisible(direction == SortChoice::ascending);
    icon(kAscendingRow + 1)->setVisible(direction == SortChoice::descending);
    setLabelAlpha(label(kAscendingRow + direction), 1.0);
}

void FileEraserSortVC::setSortType(int sortType, int sortAD)
{
    if (sortType >= SortChoice::byName && sortType <= SortChoice::bySizeAgain)
        markKey(sortType);
    if (sortAD == SortChoice::ascending || sortAD == SortChoice::descending)
        markDirection(sortAD);
}

void FileEraserSortVC::selectSortType(SortSelectBgView* clicked)
{
    for (int n = 1; n <= 5; ++n)
        setLabelAlpha(label(n), 0.7);
    bool ok = false;
    const int id = clicked->identifier().toInt(&ok);
    if (ok && id >= SortChoice::byName && id <= SortChoice::bySizeAgain)
        markKey(id);
    else if (ok && (id == kAscendingId || id == kAscendingId + 1))
        markDirection(id - kAscendingId);
    if (m_delegate)
        m_delegate->selectSortbyType(m_sortType, m_sortAD);
}

void FileEraserSortVC::enterEvent(QEnterEvent*)
{
    if (m_delegate)
        m_delegate->mouseEixtView(false);
}

void FileEraserSortVC::leaveEvent(QEvent*)
{
    if (m_delegate)
        m_delegate->mouseEixtView(true);
}

void FileEraserSortVC::setKeyRow(int n)
{
    m_keyRow = n >= 1 && n <= 5 ? n : 0;
    for (int k = 1; k <= 5; ++k)
        row(k)->setHighlighted(k == m_keyRow);
}

void FileEraserSortVC::moveKeyRow(int delta)
{
    const int from = m_keyRow == 0 ? (delta > 0 ? 0 : 6) : m_keyRow;
    setKeyRow((from - 1 + delta + 5) % 5 + 1);
}

void FileEraserSortVC::chooseKeyRow()
{
    if (SortSelectBgView* chosen = row(m_keyRow))
        selectSortType(chosen);
}
