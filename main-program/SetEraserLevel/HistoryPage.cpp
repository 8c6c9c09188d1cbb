#include "SetEraserLevel/HistoryPage.h"

#include "platform/InvokingUser.h"
#include "platform/WriteAsUser.h"

#include <QStringList>

namespace HistoryPage {

namespace {

QString spaces(int n)
{
    return QString(n, QLatin1Char(' '));
}

QString head()
{
    const QStringList style = {
        QStringLiteral("table, th, td { border: 1px solid #2A304E; font-family: Segoe, \"Segoe UI \", "
                       "\"DejaVu Sans \", \"Trebuchet MS \", Verdana, sans-serif;}"),
        QStringLiteral("table { width: 800px; min-height: 25px; line-height: 25px; border-collapse: collapse; "
                       "margin:0 auto; font-size:12px; color:#2A304E;}"),
        QStringLiteral("td { padding:4px 12px;}"),
        QStringLiteral("th { padding:4px 12px; background-color:#767C9A; color:#fff;}"),
        QStringLiteral(".title { background-color:#7FCFDC; text-align:center; color:#fff;}"),
    };
    const QStringList parts = {
        QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">"),
        QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta content=\"initial-scale=1.0,user-scalable=no,maximum-scale=1,width=device-width\" "
                       "name=\"viewport\" />"),
        QStringLiteral("<meta content=\"telephone=no\" name=\"format-detection\" />"),
        QStringLiteral("<meta content=\"black\" name=\"apple-mobile-web-app-status-bar-style\" />"),
        QStringLiteral("<meta content=\"yes\" name=\"apple-mobile-web-app-capable\" />"),
        QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"),
        QStringLiteral("<title>Erasure History</title>"),
        QStringLiteral("<style>") + style.join(QString()) + QStringLiteral("</style>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<!-- toplink -->"),
        QStringLiteral("<table width=\"200\" border=\"1\">"),
    };
    return parts.join(spaces(5));
}

QString row(const QString& open, const HistoryRow& r)
{
    QString text = open + spaces(22);
    for (const QString& cell : {r.items, r.algorithm, r.result})
        text += QStringLiteral("<td>") + escaped(cell) + QStringLiteral("</td>") + spaces(23);
    return text + QStringLiteral("</tr>");
}

}  // namespace

QString escaped(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

QString html(const QString& key, const HistoryRun& rows)
{
    QString body = QStringLiteral("<tr>") + spaces(24) + QStringLiteral("<th colspan=\"3\">") + escaped(key) +
                   QStringLiteral("</th>") + spaces(25) + QStringLiteral("</tr>");
    for (const HistoryRow& r : rows)
        body += row(r.isHeader() ? QStringLiteral("<tr class=\"title\">") : QStringLiteral("<tr>"), r);
    const QString tail = QStringLiteral("</table>") + spaces(5) + QStringLiteral("</body>") + spaces(6) +
                         QStringLiteral("</html>");
    return head() + body + tail;
}

QString pathWithExtension(const QString& chosen)
{
    return chosen.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ? chosen : chosen + QStringLiteral(".html");
}

bool write(const QString& path, const QString& key, const HistoryRun& rows, QString* error)
{
    const platform::InvokingUser user = platform::invokingUser();
    return platform::writeFileAsUser(path, html(key, rows).toUtf8(), user.uid, user.gid, error);
}

}  // namespace HistoryPage
