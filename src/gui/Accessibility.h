#pragma once

#include <QAccessible>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace quorvel::gui {

// A part of the window that the screen pictures paint and that assistive
// technology should still find: it draws nothing, takes no mouse and no
// focus, and is exposed with its role, its accessible name and description.
class AccessiblePart : public QWidget {
    Q_OBJECT

public:
    AccessiblePart(QAccessible::Role role, QWidget* parent);
    QAccessible::Role role() const { return m_role; }

private:
    QAccessible::Role m_role;
};

// What the result panel says, as text: a notification whose name is the
// whole message and whose children are its lines (caption, reason, measured
// line, note). Each announce() hides and shows it again, which screen
// readers speak as a new notification.
class ResultNotice : public AccessiblePart {
    Q_OBJECT

public:
    explicit ResultNotice(QWidget* parent);

    void announce(const QStringList& lines);
    const QStringList& lines() const { return m_lines; }

signals:
    // After each announce(): the name the notification now has.
    void announced(const QString& name);

private:
    QStringList m_lines;
    QList<AccessiblePart*> m_lineParts;
};

// The line under the buttons after a save: one Tab stop, with a focus ring,
// exposed as a link; a click, Enter, Return or Space activates it.
class FolderLink : public QLabel {
    Q_OBJECT

public:
    explicit FolderLink(QWidget* parent);

signals:
    void activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Makes Qt expose the parts above and the main window with their roles;
// once per process.
void installAccessibleParts();

}  // namespace quorvel::gui
