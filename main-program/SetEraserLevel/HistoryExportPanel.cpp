#include "SetEraserLevel/HistoryExportPanel.h"

#include "SetEraserLevel/HistoryPage.h"
#include "platform/InvokingUser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace {

// The dialog's own widgets in the panels' colours; it cascades to the
// dialog's questions, which are windows of their own.
const char* const kDarkLook = R"(
QWidget { color: white; font-family: "Lato"; font-size: 12px; }
QFileDialog, QMessageBox, QDialog { background: rgb(50, 50, 62); }
QLineEdit, QComboBox, QAbstractItemView {
    background: rgb(39, 39, 48); color: white; border: 1px solid rgb(33, 33, 43);
    selection-background-color: rgb(10, 103, 230); selection-color: white;
}
QLineEdit, QComboBox { border-radius: 3px; padding: 3px 6px; min-height: 18px; }
QComboBox QAbstractItemView { border: 1px solid rgb(80, 80, 96); }
QHeaderView::section {
    background: rgb(50, 50, 62); color: rgba(255, 255, 255, 0.6);
    border: none; border-bottom: 1px solid rgb(33, 33, 43); padding: 4px 6px;
}
QPushButton {
    background: rgb(64, 64, 78); border: 1px solid rgb(80, 80, 96); border-radius: 4px;
    padding: 5px 16px; min-width: 64px;
}
QPushButton:hover { background: rgb(74, 74, 90); }
QPushButton:pressed { background: rgb(44, 44, 54); }
QPushButton:default { background: rgb(10, 103, 230); border-color: rgb(10, 103, 230); }
QPushButton:disabled, QToolButton:disabled { color: rgba(255, 255, 255, 0.35); }
QToolButton { background: transparent; border: 1px solid transparent; border-radius: 3px; padding: 2px; }
QToolButton:hover, QToolButton:checked { background: rgb(64, 64, 78); border-color: rgb(80, 80, 96); }
)";

// Adds ".html" to the typed name before the dialog looks at it: the
// default suffix covers a name without a dot, this one "report.v2" too.
class ExportFileDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && !QFileInfo(files.first()).isDir()) {
            const QString withSuffix = HistoryPage::pathWithExtension(files.first());
            if (withSuffix != files.first())
                selectFile(withSuffix);
        }
        QFileDialog::accept();
    }
};

// The user's home, and their usual folders in it that exist.
QList<QUrl> sidebarFor(const QString& home)
{
    QList<QUrl> urls{QUrl::fromLocalFile(home)};
    for (const char* name : {"Desktop", "Documents", "Downloads"}) {
        const QString path = QDir(home).filePath(QLatin1String(name));
        if (QFileInfo(path).isDir())
            urls << QUrl::fromLocalFile(path);
    }
    urls << QUrl::fromLocalFile(QStringLiteral("/"));
    return urls;
}

}  // namespace

HistoryExportPanel::HistoryExportPanel(const QString& proposedPath, QWidget* parent)
    : PanelController(parent)
{
    setFixedSize(kSize);
    setStyleSheet(QLatin1String(kDarkLook));
    const QString home = platform::invokingUser().home;
    m_dialog = new ExportFileDialog(this, tr("Export Erasure History"), proposedPath, tr("Web page (*.html)"));
    // A widget of this panel, not a window: the platform's own dialog would
    // bring its own light look and its own place on the screen.
    m_dialog->setWindowFlags(Qt::Widget);
    m_dialog->setSizeGripEnabled(false);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog);
    // Its own folder making, renaming and deleting would act as root.
    m_dialog->setOption(QFileDialog::ReadOnly);
    m_dialog->setAcceptMode(QFileDialog::AcceptSave);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    m_dialog->setDefaultSuffix(QStringLiteral("html"));
    m_dialog->setViewMode(QFileDialog::Detail);
    m_dialog->setSidebarUrls(sidebarFor(home.isEmpty() ? QFileInfo(proposedPath).absolutePath() : home));
    m_dialog->selectFile(proposedPath);
    if (auto* tree = m_dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        // Name takes what is left; the date is shown whole.
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        header->setSectionHidden(2, true);  // the kind, which the icon tells
    }

    // The keyboard starts on the name, as the platform's dialog does.
    if (auto* name = m_dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setFocus(Qt::OtherFocusReason);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_dialog);
    connect(m_dialog, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted && !m_dialog->selectedFiles().isEmpty())
            m_chosen = HistoryPage::pathWithExtension(m_dialog->selectedFiles().first());
        closePanel();
    });
}

QString HistoryExportPanel::run(QWidget* mainWindow, const QString& proposedPath)
{
    auto* controller = new HistoryExportPanel(proposedPath);
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, mainWindow));
    if (mainWindow) {
        // Centred on the main window, whose area it does not leave.
        QRect frame = panel->geometry();
        frame.moveCenter(mainWindow->window()->frameGeometry().center());
        panel->move(frame.topLeft());
    }
    panel->runModal();
    return controller->chosenPath();  // the panel, and with it the controller, goes here
}
