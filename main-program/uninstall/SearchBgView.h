#pragma once
#include <QWidget>

// The search field's background: a rounded, faintly lighter strip.
class SearchBgView : public QWidget
{
    Q_OBJECT
public:
    explicit SearchBgView(QWidget* parent = nullptr) : QWidget(parent) {}
    void setBeEenditing(bool editing)
    {
        m_isEditing = editing;
        update();
    }
    bool isEditing() const { return m_isEditing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_isEditing = false;  // does not change the drawing
};
