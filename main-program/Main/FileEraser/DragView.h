#pragma once
#include <QStringList>
#include <QWidget>

class DragViewDelegate
{
public:
    virtual ~DragViewDelegate() = default;
    virtual void viewDragAction(const QStringList& /*paths*/) {}
    virtual void selectFileButtonAction() {}
};

// A drop area for files and folders from the file manager: local paths go
// to the delegate; a dropped picture (TIFF) is taken but adds nothing;
// anything else is refused.
class DragView : public QWidget
{
    Q_OBJECT
public:
    explicit DragView(QWidget* parent = nullptr);
    void setDelegate(DragViewDelegate* delegate) { m_delegate = delegate; }

    // The local paths a drop carries; empty when it carries none.
    static QStringList localPaths(const class QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DragViewDelegate* m_delegate = nullptr;
};
