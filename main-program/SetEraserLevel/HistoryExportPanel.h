#pragma once
#include "PopWindow/PanelController.h"

#include <QSize>

class QFileDialog;

// Where the export is saved: the file dialog drawn in the program's dark
// panel, over the main window and inside it, opening in the invoking user's
// home. The name it gives always ends in ".html", and the suffix is added
// before the dialog asks about replacing a file, so its question names the
// file that will be written.
class HistoryExportPanel : public PanelController
{
    Q_OBJECT
public:
    static constexpr QSize kSize{680, 440};

    explicit HistoryExportPanel(const QString& proposedPath, QWidget* parent = nullptr);

    // Runs the panel modally over `mainWindow`; the chosen path, or empty.
    static QString run(QWidget* mainWindow, const QString& proposedPath);

    QFileDialog* fileDialog() const { return m_dialog; }
    QString chosenPath() const { return m_chosen; }

private:
    QFileDialog* m_dialog;
    QString m_chosen;
};
