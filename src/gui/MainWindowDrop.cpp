// Photos dropped on the window: the first of the dropped files is audited
// when it is a local file with an image extension and no audit runs.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "core/io/ImageFiles.h"
#include "gui/MainWindow.h"

namespace quorvel::gui {

namespace {

// The local photo a drop carries: its first URL, when that is a local file
// with an image file's extension (any case); otherwise an empty string.
QString droppedPhoto(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) return {};
    const QUrl first = data->urls().first();
    if (!first.isLocalFile()) return {};
    const QString path = first.toLocalFile();
    const std::filesystem::path name = QFile::encodeName(QFileInfo(path).fileName()).toStdString();
    if (!HasImageExtension(name, ExtensionCase::Any)) return {};
    return path;
}

}  // namespace

bool MainWindow::acceptsDrop(const QMimeData* data) const {
    return m_session && !m_auditRunning && !droppedPhoto(data).isEmpty();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    auditFile(droppedPhoto(event->mimeData()));
}

}  // namespace quorvel::gui
