#include "StartFailedAlert.h"

#include "Eraser/LauncherLook.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StartFailedAlert::StartFailedAlert(const QString& sentence, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("StartFailedAlert"));
    setWindowTitle(QStringLiteral("Tarnwick Vantoly"));
    auto* title = new QLabel(QStringLiteral("Tarnwick Vantoly did not start"), this);
    title->setObjectName(QStringLiteral("noticeTitleLabel"));
    m_sentence = new QLabel(this);
    m_sentence->setObjectName(QStringLiteral("noticeLabel"));
    m_sentence->setTextFormat(Qt::PlainText);
    m_sentence->setWordWrap(true);
    m_sentence->setText(sentence);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(title);
    layout->addWidget(m_sentence);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedWidth(440);
    LauncherLook::apply(this);
    m_ok->setFocus();
}

QString StartFailedAlert::sentence() const
{
    return m_sentence->text();
}
