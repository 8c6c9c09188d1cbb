#include "Main/FileEraser/DragView.h"

#include "platform/Log.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

DragView::DragView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

namespace {

const QString kTiff = QStringLiteral("image/tiff");

// What a drop may carry: a picture (TIFF) or file names.
bool carriesSomething(const QMimeData* data)
{
    return data && (data->hasFormat(kTiff) || !DragView::localPaths(data).isEmpty());
}

}  // namespace

QStringList DragView::localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

void DragView::dragEnterEvent(QDragEnterEvent* event)
{
    if (carriesSomething(event->mimeData()) && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DragView::dragMoveEvent(QDragMoveEvent* event)
{
    if (carriesSomething(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DragView::dropEvent(QDropEvent* event)
{
    // A picture comes first; it adds nothing and only redraws the area.
    if (event->mimeData() && event->mimeData()->hasFormat(kTiff)) {
        if (event->mimeData()->data(kTiff).isEmpty()) {
            platform::log(QStringLiteral("Error: MyNSView performDragOperation zPasteboardData == nil"));
            event->ignore();
            return;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        update();
        return;
    }
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty()) {
        platform::log(QStringLiteral("Error MyNSView performDragOperation"));
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (m_delegate)
        m_delegate->viewDragAction(paths);
}
