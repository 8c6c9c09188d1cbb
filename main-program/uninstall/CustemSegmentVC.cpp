#include "uninstall/CustemSegmentVC.h"

#include "ToolCon/TCImageButton.h"
#include "ui_CustemSegmentVC.h"

namespace {

void setPicture(TCImageButton* button, const QString& name)
{
    button->setImageFromFileNormalName(name, name, name, name);
    button->setButtonEnabled(true);
}

}  // namespace

CustemSegmentVC::CustemSegmentVC(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::CustemSegmentVC>())
{
    ui->setupUi(this);
    const QString ids[] = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
    for (int n = 1; n <= 3; ++n) {
        TCImageButton* button = tab(n);
        const QString id = ids[n - 1];
        connect(button, &QAbstractButton::clicked, this, [this, id] { buttonSelectAction(id); });
    }
    setPicture(ui->tab_1, QStringLiteral("tab_app_sel"));
    setPicture(ui->tab_2, QStringLiteral("tab_wid"));
    setPicture(ui->tab_3, QStringLiteral("tab_plugin"));
}

CustemSegmentVC::~CustemSegmentVC() = default;

TCImageButton* CustemSegmentVC::tab(int n) const
{
    return n == 1 ? ui->tab_1 : n == 2 ? ui->tab_2 : ui->tab_3;
}

void CustemSegmentVC::buttonSelectAction(const QString& identifier)
{
    if (!m_isEndit)
        return;
    static const char* const kPictures[3][3] = {{"tab_app_sel", "tab_wid", "tab_plugin"},
                                                {"tab_app", "tab_wid_sel", "tab_plugin"},
                                                {"tab_app", "tab_wid", "tab_plugin_sel"}};
    bool ok = false;
    const int index = identifier.toInt(&ok);
    if (ok && index >= 0 && index <= 2)
        for (int n = 1; n <= 3; ++n)
            setPicture(tab(n), QLatin1String(kPictures[index][n - 1]));
    if (m_delegate && ok)
        m_delegate->segmentSelectWithIndex(index);
}
