#include "Main/FileEraser/FileEraserOpenPanel.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

FileEraserOpenPanel::FileEraserOpenPanel(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add"));
    // The panel floats above the program's other windows.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    m_model = new QFileSystemModel(this);
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

    auto* upButton = new QPushButton(QStringLiteral("Up"), this);
    m_pathLabel = new QLabel(this);
    auto* top = new QHBoxLayout;
    top->addWidget(upButton);
    top->addWidget(m_pathLabel, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_addButton = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    m_addButton->setEnabled(false);

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
}

void FileEraserOpenPanel::goUp()
{
    QDir dir(m_directory);
    if (dir.cdUp())
        setDirectory(dir.absolutePath());
}
