#include "Main/FileEraser/FileEraserOpenPanel.h"

#include "Comm/GetColor.h"
#include "Main/Tools/ListIcons.h"
#include "PopWindow/FocusTrap.h"
#include "ProgressView/RFOverlayScroller.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QKeyEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The icons the program's own lists show, not the desktop's light ones;
// looked up here, on the main thread, not by the model's own worker.
class ListIconModel : public QFileSystemModel
{
public:
    using QFileSystemModel::QFileSystemModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == 0)
            return ListIcons::iconFor(filePath(index), isDir(index));
        return QFileSystemModel::data(index, role);
    }
};

// The program's dark panel colours, with a selection that shows.
QPalette darkPanelPalette(QPalette palette)
{
    const QColor white(Qt::white);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, getColor(50, 50, 62, 1));
        palette.setColor(group, QPalette::WindowText, white);
        palette.setColor(group, QPalette::Base, getColor(39, 39, 48, 1));
        palette.setColor(group, QPalette::AlternateBase, getColor(44, 44, 54, 1));
        palette.setColor(group, QPalette::Text, white);
        palette.setColor(group, QPalette::Button, getColor(64, 64, 78, 1));
        palette.setColor(group, QPalette::ButtonText, white);
        palette.setColor(group, QPalette::Highlight, getColor(10, 103, 230, 1));
        palette.setColor(group, QPalette::HighlightedText, white);
        palette.setColor(group, QPalette::Light, getColor(80, 80, 96, 1));
        palette.setColor(group, QPalette::Midlight, getColor(70, 70, 86, 1));
        palette.setColor(group, QPalette::Mid, getColor(44, 44, 54, 1));
        palette.setColor(group, QPalette::Dark, getColor(33, 33, 43, 1));
        palette.setColor(group, QPalette::Shadow, getColor(20, 20, 26, 1));
    }
    const QColor dim = getColor(255, 255, 255, 0.35f);
    palette.setColor(QPalette::Disabled, QPalette::Window, getColor(50, 50, 62, 1));
    palette.setColor(QPalette::Disabled, QPalette::Base, getColor(39, 39, 48, 1));
    palette.setColor(QPalette::Disabled, QPalette::Button, getColor(56, 56, 68, 1));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dim);
    return palette;
}

}  // namespace

FileEraserOpenPanel::FileEraserOpenPanel(QWidget* parent) : QDialog(parent)
{
    setPalette(darkPanelPalette(palette()));
    setWindowTitle(QStringLiteral("Add"));
    if (parent) {
        // A sheet is part of the window it hangs from, not a window of its
        // own: no window manager frames, places or loses it, and the window
        // keeps the keyboard when it closes.
        QWidget* host = parent->window();
        m_shield = new QWidget(host);
        m_shield->setObjectName(QStringLiteral("sheetShield"));
        m_shield->setGeometry(host->rect());
        m_shield->hide();
        m_shield->installEventFilter(this);
        setParent(host, Qt::Widget);
        setAutoFillBackground(true);
        setGeometry(sheetFrame(host->size()));
        FocusTrap::install(this);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    m_model = new ListIconModel(this);
    // Hidden entries stay out of sight; links are listed as what they are.
    m_model->setFilter(QDir::AllDirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    m_model->setResolveSymlinks(false);
    m_model->setReadOnly(true);

    m_view = new QTreeView(this);
    m_view->setModel(m_model);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setItemsExpandable(false);
    m_view->setRootIsDecorated(false);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(0, Qt::AscendingOrder);
    m_view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    RFOverlayScroller::overlay(m_view);
    // Return opens the folder it is on; only the Add button (or a double
    // click on a file) adds.
    m_view->installEventFilter(this);

    auto* upButton = new QPushButton(QStringLiteral("Up"), this);
    m_pathLabel = new QLabel(this);
    auto* top = new QHBoxLayout;
    top->addWidget(upButton);
    top->addWidget(m_pathLabel, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_addButton = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_addButton->setEnabled(false);
    for (QAbstractButton* button : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);
    m_addButton->setDefault(false);
    upButton->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);

    connect(upButton, &QPushButton::clicked, this, &FileEraserOpenPanel::goUp);
    connect(m_view, &QTreeView::doubleClicked, this, &FileEraserOpenPanel::enter);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_addButton->setEnabled(!selectedPaths().isEmpty()); });
}

void FileEraserOpenPanel::setDirectory(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (clean == m_directory)
        return;
    m_directory = clean;
    m_model->setRootPath(clean);
    m_view->setRootIndex(m_model->index(clean));
    m_view->clearSelection();
    m_pathLabel->setText(clean);
    emit didChangeToDirectory(clean);
}

QStringList FileEraserOpenPanel::selectedPaths() const
{
    QStringList paths;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows(0))
        paths << m_model->filePath(index);
    return paths;
}

void FileEraserOpenPanel::selectNames(const QStringList& names)
{
    QItemSelectionModel* selection = m_view->selectionModel();
    selection->clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = m_model->index(m_directory + QLatin1Char('/') + name);
        if (index.isValid())
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void FileEraserOpenPanel::enter(const QModelIndex& index)
{
    // A link to a folder is entered like the folder: browsing is harmless,
    // only what is added counts.
    if (m_model->isDir(index))
        setDirectory(m_model->filePath(index));
    else if (index.isValid() && !selectedPaths().isEmpty())
        accept();
}

FileEraserOpenPanel::~FileEraserOpenPanel()
{
    delete m_shield;
}

QModelIndexList FileEraserOpenPanel::keyRows() const
{
    QModelIndexList rows = m_view->selectionModel()->selectedRows(0);
    const QModelIndex current = m_view->currentIndex();
    if (rows.isEmpty() && current.isValid() && current.parent() == m_view->rootIndex())
        rows << current.siblingAtColumn(0);
    return rows;
}

bool FileEraserOpenPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_shield) {
        // The window under the sheet takes no pointer until it closes.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QModelIndexList rows = keyRows();
            if (rows.size() == 1 && m_model->isDir(rows.first()))
                enter(rows.first());
            else if (!m_view->selectionModel()->selectedRows(0).isEmpty() && !key->isAutoRepeat())
                accept();
            return true;
        }
        const bool arrow = key->key() == Qt::Key_Down || key->key() == Qt::Key_Up;
        if (arrow && key->modifiers() == Qt::NoModifier && !m_view->selectionModel()->hasSelection()) {
            // The first arrow chooses the row the view is on (the top one
            // when it has just opened) rather than stepping past it.
            const QModelIndexList rows = keyRows();
            const QModelIndex row = rows.isEmpty() ? m_model->index(0, 0, m_view->rootIndex()) : rows.first();
            if (row.isValid()) {
                m_view->selectionModel()->setCurrentIndex(
                    row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

QRect FileEraserOpenPanel::sheetFrame(const QSize& hostSize)
{
    return {50, kTitleStripHeight, hostSize.width() - 100, hostSize.height() - 50};
}

void FileEraserOpenPanel::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shield)
        return;
    m_shield->show();
    m_shield->raise();
    raise();
    m_view->setFocus(Qt::OtherFocusReason);
}

void FileEraserOpenPanel::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (m_shield)
        m_shield->hide();
}

void FileEraserOpenPanel::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!m_shield)
        return;
    // Without a frame of its own the sheet needs an edge against the window.
    QPainter painter(this);
    painter.setPen(getColor(70, 70, 86, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void FileEraserOpenPanel::goUp()
{
    QDir dir(m_directory);
    if (dir.cdUp())
        setDirectory(dir.absolutePath());
}
