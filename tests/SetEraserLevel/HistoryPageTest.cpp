#include "SetEraserLevel/HistoryPage.h"

#include "TempTree.h"

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

struct Table
{
    QString header;                  // the <th> of the key row
    QList<QStringList> titleRows;    // rows of class "title"
    QList<QStringList> itemRows;
};

// Parses the page as XML and collects the table's rows.
Table parse(const QByteArray& page)
{
    Table table;
    QXmlStreamReader xml(page);
    QStringList cells;
    bool title = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("tr")) {
            cells.clear();
            title = xml.attributes().value("class") == QLatin1String("title");
        } else if (xml.isStartElement() && xml.name() == QLatin1String("th")) {
            EXPECT_EQ(xml.attributes().value("colspan"), QLatin1String("3"));
            table.header = xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("td")) {
            cells << xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("tr") && !cells.isEmpty()) {
            (title ? table.titleRows : table.itemRows) << cells;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    return table;
}

const HistoryRow kHeader{"Items", "Erasure Algorithm", "Result"};

}  // namespace

TEST(HistoryPage, WritesOneTableWithKeyTitleAndItems)
{
    TempTree tree;
    const QString path = HistoryPage::pathWithExtension(tree / "ErasureHistory(2026-12-08 07-40-00)");
    EXPECT_TRUE(path.endsWith("07-40-00).html"));
    const HistoryRun run{kHeader, {"/home/a/one.txt", "HMG Infosec Standard 5", "Erased"},
                         {"/home/a/<script>alert('x')</script> & \"co\"", "HMG Infosec Standard 5", "Failed"}};
    QString error;
    ASSERT_TRUE(HistoryPage::write(path, "2026-12-08 07-34-51", run, &error)) << error.toStdString();

    const QByteArray page = TempTree::read(path);
    const Table table = parse(page);
    EXPECT_EQ(table.header, "2026-12-08 07-34-51");
    EXPECT_EQ(table.titleRows, QList<QStringList>({{"Items", "Erasure Algorithm", "Result"}}));
    ASSERT_EQ(table.itemRows.size(), 2);
    EXPECT_EQ(table.itemRows[0], QStringList({"/home/a/one.txt", "HMG Infosec Standard 5", "Erased"}));
    // Shown as written: the markup in the name is text, not an element.
    EXPECT_EQ(table.itemRows[1][0], "/home/a/<script>alert('x')</script> & \"co\"");
    EXPECT_FALSE(page.contains("<script>"));
    EXPECT_TRUE(page.contains("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;co&quot;"));
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\""));
    EXPECT_TRUE(page.endsWith("</table>     </body>      </html>"));
}

TEST(HistoryPage, KeepsAnExistingExtensionAndReportsFailedWrites)
{
    EXPECT_EQ(HistoryPage::pathWithExtension("/tmp/run.html"), "/tmp/run.html");
    EXPECT_EQ(HistoryPage::pathWithExtension("/tmp/run.HTML"), "/tmp/run.HTML");
    EXPECT_EQ(HistoryPage::pathWithExtension("/tmp/run.htm"), "/tmp/run.htm.html");

    TempTree tree;
    QString error;
    EXPECT_FALSE(HistoryPage::write(tree / "missing/folder/run.html", "k", {kHeader}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(tree / "missing/folder/run.html"));
}
