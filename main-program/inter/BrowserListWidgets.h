#pragma once
#include "inter/BrowerObj.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSizeF>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

// The rows of one of the page's lists: browsers, or the categories of the
// shown browser. The cells draw what the page hands them before they draw.
class BrowserListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    BrowserListModel(QStringList columnIds, QObject* parent = nullptr);

    void setRows(BrowerObjList rows);
    const BrowerObjList& rows() const { return m_rows; }
    BrowerObjPtr nodeAt(int row) const { return row >= 0 && row < m_rows.size() ? m_rows[row] : nullptr; }
    QString columnId(int column) const { return m_columnIds.value(column); }
    // Everything may have changed text or tick: redraw every row.
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_columnIds.size()); }
    // No value: the cells draw what the page gives them. The tip tells why
    // a row was not read, found or cleaned.
    QVariant data(const QModelIndex& index, int role) const override;
    // Whether a browser's profile was not found.
    static bool noProfile(const BrowerObj& browser);

private:
    QStringList m_columnIds;
    BrowerObjList m_rows;
};

// The list of both columns of the page: rounded dark rows, the row `rowNum`
// lighter, no system highlight.
class BroTableView : public QTableView
{
    Q_OBJECT
public:
    explicit BroTableView(QWidget* parent = nullptr);

    int rowNum() const { return m_rowNum; }
    // The owner redraws the list after setting it.
    void setRowNum(int row) { m_rowNum = row; }
    // The row of the last click in a check cell, -1 when none.
    int clickedRow() const { return m_clickedRow; }
    void setClickedRow(int row) { m_clickedRow = row; }

    static QColor rowColor(bool highlighted);
    // The row keys act on: the highlighted one, else the first; -1 when the
    // list is empty. Drawn with a ring while the list has the focus.
    int focusRow() const;

signals:
    // Up/Down moved to `row`, or Return pressed on it: what a click on the
    // row does.
    void rowChosen(int row);
    // Space on `row`: what a click in its check does.
    void tickRequested(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_rowNum = -1;
    int m_clickedRow = -1;
};

class BrowerButtonCell;
class BrowerImageAndTextCell;

// What the page does before a cell draws (it fills the cell for the row).
using WillDisplayButtonCell = std::function<void(BrowerButtonCell* cell, const QString& columnId, int row)>;
using WillDisplayTextCell = std::function<void(BrowerImageAndTextCell* cell, const QString& columnId, int row)>;

// The check cell of both lists; a click in it calls its action with the list.
class BrowerButtonCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    BrowerButtonCell(BroTableView* table, QString columnId, WillDisplayButtonCell willDisplay);

    BrowerObjPtr broObj() const { return m_broObj; }
    void setBroObj(BrowerObjPtr node) { m_broObj = std::move(node); }
    void setImageName(const QString& name) { m_imageName = name; }
    QString imageName() const { return m_imageName; }
    void setAction(std::function<void(BroTableView*)> action) { m_action = std::move(action); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    BroTableView* m_table;
    QString m_columnId;
    WillDisplayButtonCell m_willDisplay;
    BrowerObjPtr m_broObj;
    QString m_imageName;
    std::function<void(BroTableView*)> m_action;
};

// An icon and a title: browser names, category names and size texts.
class BrowerImageAndTextCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    BrowerImageAndTextCell(QObject* parent, QString columnId, WillDisplayTextCell willDisplay);

    void setTitle(const QString& title, float width, bool isSize, bool isSmal);
    // A second, smaller line under the title; empty for none.
    void setNote(const QString& note) { m_note = note; }
    QString note() const { return m_note; }
    void setImage(const QIcon& image) { m_image = image; }
    void setIconSize(double width, double height) { m_iconSize = QSizeF(width, height); }

    QString title() const { return m_title; }
    bool isSmal() const { return m_isSmal; }
    bool isSize() const { return m_isSize; }
    float subWidth() const { return m_subWidth; }
    QSizeF iconSize() const { return m_iconSize; }

    // The image's own size (not the size it is drawn at), empty without one.
    QSizeF imageSize() const;

    // Where the title and the icon are drawn in a cell at `frame`.
    QRectF titleRect(const QRectF& frame) const;
    QRectF iconRect(const QRectF& frame) const;
    // Where the image sits for hit tests, in its own size; empty without one.
    QRectF imageRect(const QRectF& frame) const;
    // The part of the frame editing and selecting use: right of the image.
    QRectF editingRect(const QRectF& frame) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The text cell's size, widened by the image and a 3-point gap.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    QString m_columnId;
    WillDisplayTextCell m_willDisplay;
    QIcon m_image;
    QString m_title;
    QString m_note;
    float m_subWidth = 0;
    bool m_isSize = false;
    bool m_isSmal = false;
    QSizeF m_iconSize{16, 16};
};
