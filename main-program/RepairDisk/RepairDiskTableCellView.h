#pragma once
#include "Comm/VolumeObj.h"

#include <QDeadlineTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class TextImageButton;
namespace Ui { class RepairDiskTableCellView; }

// One row of the Disk Manager's volume table: icon, name, type, size, the
// rename field and the row buttons (shown on the selected row only).
class RepairDiskTableCellView : public QWidget
{
    Q_OBJECT
public:
    explicit RepairDiskTableCellView(QWidget* parent = nullptr);
    ~RepairDiskTableCellView() override;

    void setIsSelect(bool select);
    // The volume the row shows; its buttons act on this one only.
    void setVolume(const VolumeObjPtr& volume) { m_volume = volume; }
    VolumeObjPtr volume() const { return m_volume; }
    // The keyboard's row: drawn with a ring while the list has the focus.
    void setFocusRing(bool ring);
    bool hasFocusRing() const { return m_focusRing; }
    // The row moved or became another volume under the pointer: for `ms` a
    // press on it or its buttons is what the user aimed at before, and is
    // dropped. Keys still work.
    void settleFor(int ms);
    bool isSettling() const { return !m_settled.hasExpired(); }
    bool isSelect() const { return m_isSelect; }

    // The subviews by their identifiers: "save", "open", "mount", "fristaid",
    // "rename", "format", "eject".
    TextImageButton* button(const QString& identifier) const;
    QList<TextImageButton*> buttons() const;
    QLabel* iconView() const;
    QLabel* nameField() const;
    QLabel* typeField() const;
    QLabel* sizeField() const;
    QWidget* editNameView() const;
    QLineEdit* editNameField() const;

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::RepairDiskTableCellView> ui;
    bool m_isSelect = false;
    bool m_focusRing = false;
    VolumeObjPtr m_volume;
    QDeadlineTimer m_settled{0};
};
