#pragma once
#include <QDialog>
#include <QModelIndexList>
#include <QPointer>
#include <QStringList>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

// The panel that picks files and folders together, several at once, hidden
// entries not shown. A folder is entered by a double click or Return and left
// by "Up"; "Add", or a double click on a file, adds what is selected, folders
// included. Each change of folder is reported, so the owner can steer away
// from places it does not want browsed. Given a parent, it is a sheet on that
// parent's window: drawn inside the window itself, below its title strip,
// over a shield that keeps the pointer off the window until it closes; the
// keyboard stays in it.
class FileEraserOpenPanel : public QDialog
{
    Q_OBJECT
public:
    explicit FileEraserOpenPanel(QWidget* parent = nullptr);
    ~FileEraserOpenPanel() override;

    void setDirectory(const QString& path);
    QString directory() const { return m_directory; }
    QStringList selectedPaths() const;
    // Selects the entries of the current folder with these names (for tests and drops).
    void selectNames(const QStringList& names);
    QTreeView* view() const { return m_view; }

    // Where the sheet sits on a window of `hostSize`, in the window's
    // coordinates: 100 narrower and 50 lower than the window, centred across
    // it, its top on the lower edge of the window's title strip.
    static QRect sheetFrame(const QSize& hostSize);
    static constexpr int kTitleStripHeight = 28;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

signals:
    void didChangeToDirectory(const QString& path);

private:
    void enter(const QModelIndex& index);
    void goUp();
    // The row Return or an arrow acts on: the selected one, else the one the
    // view has the keyboard on without having selected it.
    QModelIndexList keyRows() const;

    QFileSystemModel* m_model = nullptr;
    QTreeView* m_view = nullptr;
    QLabel* m_pathLabel = nullptr;
    QPushButton* m_addButton = nullptr;
    QString m_directory;
    QPointer<QWidget> m_shield;
};
