#pragma once
#include <QAbstractScrollArea>
#include <QPointer>
#include <QWidget>

class RFOverlayScroller;

// A container whose content (a table, outline or other scroll area placed in
// it) spans the full width, with an RFOverlayScroller floating over its right
// edge below the table header.
class RFOverlayScrollView : public QWidget
{
    Q_OBJECT
public:
    explicit RFOverlayScrollView(QWidget* parent = nullptr);

    // Places `content` to fill this view; the first scroll-area child is
    // picked up automatically when the view is built from a .ui file.
    void setContent(QAbstractScrollArea* content);
    QAbstractScrollArea* content() const { return m_content; }
    RFOverlayScroller* verticalScroller() const { return m_scroller; }

    int headerOffset() const { return m_headerOffset; }
    void setHeaderOffset(int offset);
    // The header height of the content when it is a table or tree, else 0.
    int tableHeaderOffsetFromSuperview() const;
    void tile();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void adopt(QAbstractScrollArea* content);

    QPointer<QAbstractScrollArea> m_content;
    RFOverlayScroller* m_scroller;
    int m_headerOffset = 0;
};
