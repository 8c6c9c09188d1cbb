#pragma once
#include <QWidget>

#include <memory>

class QLabel;
class StepLineView;
namespace Ui { class StepProgressViewVC; }

// The three-step indicator at the top of a wipe's progress panel.
class StepProgressViewVC : public QWidget
{
    Q_OBJECT
public:
    explicit StepProgressViewVC(QWidget* parent = nullptr);
    ~StepProgressViewVC() override;

    void setLabelString(const QString& label1, const QString& label2, const QString& label3);
    // State 1, 2 or 3: the step under way; any other value changes nothing.
    void runProgressStep(int state);

    QLabel* label_1() const;
    QLabel* label_2() const;
    QLabel* label_3() const;
    QLabel* image_1() const;
    QLabel* image_2() const;
    QLabel* image_3() const;
    StepLineView* line_1() const;
    StepLineView* line_2() const;
    // The picture name a step mark shows ("step", "step_loading", "step_ok").
    static QString imageNameOf(const QLabel* image);

private:
    static void setStepImage(QLabel* image, const QString& name);
    std::unique_ptr<Ui::StepProgressViewVC> ui;
};
