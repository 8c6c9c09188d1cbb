#include "PopWindow/StandardDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStyle>

namespace {

void keepStandardLook(QWidget& dialog, QWidget* over)
{
    dialog.setPalette(QApplication::style()->standardPalette());
    dialog.setStyleSheet(QString());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (over) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(over->window()->frameGeometry().center());
        dialog.move(frame.topLeft());
    }
}

}  // namespace

namespace StandardDialogs {

QString getSaveFileName(QWidget* over, const QString& caption, const QString& proposedPath, const QString& filter)
{
    QFileDialog dialog(nullptr, caption, proposedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    keepStandardLook(dialog, over);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void warning(QWidget* over, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    keepStandardLook(box, over);
    box.exec();
}

}  // namespace StandardDialogs
