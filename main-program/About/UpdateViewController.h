#pragma once
#include "PopWindow/PanelController.h"

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace Ui {
class UpdateViewController;
}
class QFont;
class TextImageButton;

// The update dialog: checks the network, fetches the update list and shows
// one of its pages (checking, no network, no update, new version).
class UpdateViewController : public PanelController
{
    Q_OBJECT
public:
    explicit UpdateViewController(QWidget* parent = nullptr);
    ~UpdateViewController() override;

    // The check runs off the main thread and reports back only while this
    // controller lives, so a dialog closed mid-check is never called back.
    void getVersionChange();
    void whatIsNewVersionDiff(const std::optional<QVariantMap>& list);
    static int heightForStringDrawing(const QString& text, const QFont& font, int width);

    enum class Page { Checking, NoNetwork, NoUpdate, NewVersion };
    Page currentPage() const;
    // The button of each page: Close while checking, Close, Finish, and
    // Remind Me Later; then Install Update.
    TextImageButton* pageButton(Page page) const;
    TextImageButton* updateButton() const;

public slots:
    void updateClickHereAction();
    void closeWindow();
    void closeWindowAction() { closeWindow(); }

signals:
    // The check has reached its last page.
    void checkFinished();

private:
    void showPage(Page page);
    static void setUpButton(TextImageButton* button, const QStringList& images, const QString& title);

    std::unique_ptr<Ui::UpdateViewController> ui;
};
