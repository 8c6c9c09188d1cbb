#include "Main/FileEraser/FileEraserSortVC.h"

#include "platform/ImageStore.h"
#include "ui_FileEraserSortVC.h"

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
    for (int k = 0; k < 3; ++k)
        icon(k + 1)->setVisible(k == key);
    setLabelAlpha(label(key + 1), 1.0);
}

void FileEraserSortVC::markDirection(int direction)
{
    m_sortAD = direction;
    icon(4)->setVisible(direction == 0);
    icon(5)->setVisible(direction == 1);
    setLabelAlpha(label(direction + 4), 1.0);
}

void FileEraserSortVC::setSortType(int sortType, int sortAD)
{
    if (sortType >= 0 && sortType <= 2)
        markKey(sortType);
    if (sortAD == 0 || sortAD == 1)
        markDirection(sortAD);
}

void FileEraserSortVC::selectSortType(SortSelectBgView* clicked)
{
    for (int n = 1; n <= 5; ++n)
        setLabelAlpha(label(n), 0.7);
    bool ok = false;
    const int id = clicked->identifier().toInt(&ok);
    if (ok && id >= 0 && id <= 2)
        markKey(id);
    else if (ok && (id == 3 || id == 4))
        markDirection(id - 3);
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
