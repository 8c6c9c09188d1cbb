#include "WipeDisk/DialogStyle.h"

#include "Comm/FontCache.h"

#include "Comm/GetColor.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TextImageButton.h"
#include <QLabel>

#include <algorithm>
#include <vector>

namespace DialogStyle {

void setTextFonts(QLabel* title, const QList<QLabel*>& texts)
{
    if (title)
        title->setFont(FontCache::regularFont(16));
    for (QLabel* text : texts)
        if (text)
            text->setFont(FontCache::lightFont(12));
}

void setUpButton(TextImageButton* button, const QStringList& images, const QString& text, int points)
{
    setUpTextButton(button, images, text, float(points));
}

static QString linkColour()
{
    return getColor(0, 182, 255, 1).name();
}

void linkWholeLabel(QLabel* label, const QString& url)
{
    const QString text = label->text();
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:underline\">%3</a>")
                       .arg(url.toHtmlEscaped(), linkColour(), text.toHtmlEscaped()));
}

void styleFirstOccurrences(QLabel* label, const QStringList& phrases, const QString& style, const QString& url)
{
    const QString text = label->text();
    struct Span
    {
        qsizetype start;
        qsizetype length;
    };
    std::vector<Span> spans;
    for (const QString& phrase : phrases) {
        const qsizetype at = text.indexOf(phrase);
        if (at >= 0)
            spans.push_back({at, phrase.size()});
    }
    if (spans.empty())
        return;  // set back unchanged
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    QString html;
    qsizetype pos = 0;
    for (const Span& s : spans) {
        if (s.start < pos)
            continue;  // overlapping phrases: the first one wins
        html += text.mid(pos, s.start - pos).toHtmlEscaped();
        const QString part = text.mid(s.start, s.length).toHtmlEscaped();
        if (url.isEmpty())
            html += QStringLiteral("<span style=\"%1\">%2</span>").arg(style, part);
        else
            html += QStringLiteral("<a href=\"%1\" style=\"%2\">%3</a>").arg(url.toHtmlEscaped(), style, part);
        pos = s.start + s.length;
    }
    html += text.mid(pos).toHtmlEscaped();
    label->setTextFormat(Qt::RichText);
    label->setText(html);
}

}  // namespace DialogStyle
