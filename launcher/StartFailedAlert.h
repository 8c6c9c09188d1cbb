#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// Said when the main program did not start (rights refused, no agent to ask
// for them, or it ended before its window opened): one sentence and OK.
class StartFailedAlert : public QDialog
{
    Q_OBJECT
public:
    explicit StartFailedAlert(const QString& sentence, QWidget* parent = nullptr);

    QString sentence() const;
    QPushButton* okButton() const { return m_ok; }

private:
    QLabel* m_sentence = nullptr;
    QPushButton* m_ok = nullptr;
};
