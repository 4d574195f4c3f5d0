#include "gui/Accessibility.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/PictureButton.h"

namespace quorvel::gui {

namespace {

// A link with the press action of a button.
class FolderLinkAccessible : public QAccessibleWidget {
public:
    explicit FolderLinkAccessible(FolderLink* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            emit static_cast<FolderLink*>(widget())->activated();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        return s;
    }
};

QAccessibleInterface* PartsFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("quorvel::gui::AccessiblePart") ||
        className == QLatin1String("quorvel::gui::ResultNotice")) {
        auto* part = static_cast<AccessiblePart*>(object);
        return new QAccessibleWidget(part, part->role());
    }
    if (className == QLatin1String("quorvel::gui::MainWindow")) {
        // The program's window, a frame to screen readers: a return to it
        // says its title and then the focus, where a dialog would also read
        // every longer text inside it.
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    if (className == QLatin1String("quorvel::gui::FolderLink")) {
        return new FolderLinkAccessible(static_cast<FolderLink*>(object));
    }
    return nullptr;
}

}  // namespace

void installAccessibleParts() {
    static const bool installed = [] {
        QAccessible::installFactory(PartsFactory);
        return true;
    }();
    (void)installed;
}

AccessiblePart::AccessiblePart(QAccessible::Role role, QWidget* parent)
    : QWidget(parent), m_role(role) {
    installAccessibleParts();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

ResultNotice::ResultNotice(QWidget* parent) : AccessiblePart(QAccessible::Notification, parent) {
    setObjectName(QStringLiteral("resultNotice"));
}

void ResultNotice::announce(const QStringList& lines) {
    m_lines = lines;
    m_lines.removeAll(QString());
    hide();
    while (m_lineParts.size() < m_lines.size()) {
        auto* part = new AccessiblePart(QAccessible::StaticText, this);
        part->setGeometry(rect());
        m_lineParts << part;
    }
    for (int i = 0; i < m_lineParts.size(); ++i) {
        m_lineParts[i]->setAccessibleName(m_lines.value(i));
        m_lineParts[i]->setVisible(i < m_lines.size());
    }
    setAccessibleName(m_lines.join(QStringLiteral("。")));
    show();
    emit announced(accessibleName());
}

FolderLink::FolderLink(QWidget* parent) : QLabel(parent) {
    installAccessibleParts();
    // After the interaction flags, which would take the focus away.
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void FolderLink::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    // A dark ring two pixels wide at the edge: the line's white card shows it.
    QPainter painter(this);
    painter.setPen(QPen(kFocusRingDark, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void FolderLink::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (!event->isAutoRepeat()) emit activated();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

void FolderLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit activated();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace quorvel::gui
