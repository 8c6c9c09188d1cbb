#pragma once
#include <QDialog>
#include <QStringList>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

// The panel that picks files and folders together, several at once, hidden
// entries not shown. A folder is entered by a double click or Return and left
// by "Up"; "Add", or a double click on a file, adds what is selected, folders
// included. Each change of folder is reported, so the owner can steer away
// from places it does not want browsed.
class FileEraserOpenPanel : public QDialog
{
    Q_OBJECT
public:
    explicit FileEraserOpenPanel(QWidget* parent = nullptr);

    void setDirectory(const QString& path);
    QString directory() const { return m_directory; }
    QStringList selectedPaths() const;
    // Selects the entries of the current folder with these names (for tests and drops).
    void selectNames(const QStringList& names);
    QTreeView* view() const { return m_view; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void didChangeToDirectory(const QString& path);

private:
    void enter(const QModelIndex& index);
    void goUp();

    QFileSystemModel* m_model = nullptr;
    QTreeView* m_view = nullptr;
    QLabel* m_pathLabel = nullptr;
    QPushButton* m_addButton = nullptr;
    QString m_directory;
};
