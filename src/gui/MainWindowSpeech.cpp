// What the window tells assistive technology, and in which order: its parts
// (the result panel as a notification, the processed photo, the
// instructions as a text), what the result panel announces, and the focus
// after a dialog, which a screen reader hears only after the new state.
#include <QFocusEvent>

#include "gui/Accessibility.h"
#include "gui/MainWindow.h"
#include "gui/ResultPanel.h"
#include "gui/ScreenTexts.h"
#include "gui/WaitingPanel.h"

namespace quorvel::gui {

namespace {

// The result panel with its caption bar.
constexpr QRect kResultPanelRect(274, 77, 190, 269);
// The instructions under the panels: the heading and the four items.
constexpr QRect kInstructionsRect(28, 372, 752, 188);
// After a dialog, how long an audit runs before a screen reader is told that
// it does: a quick verdict is the first thing heard.
constexpr int kWaitingAnnouncementDelayMs = 2000;

}  // namespace

void MainWindow::setUpAccessibleParts() {
    // The result panel as text, over the panel it speaks of.
    m_notice = new ResultNotice(this);
    m_notice->setGeometry(kResultPanelRect);
    m_photoPart = new AccessiblePart(QAccessible::Graphic, this);
    m_photoPart->setObjectName(QStringLiteral("processedPhoto"));
    m_photoPart->setGeometry(kResultFrame.x, kResultFrame.y, kResultFrame.width,
                             kResultFrame.height);
    m_photoPart->setAccessibleName(QStringLiteral("处理后的照片"));
    m_photoPart->hide();
    // The instructions as a text of their own where they are painted, last
    // in the reading order: a screen reader's review keys reach them.
    auto* instructions = new AccessiblePart(QAccessible::StaticText, this);
    instructions->setObjectName(QStringLiteral("instructions"));
    instructions->setGeometry(kInstructionsRect);
    instructions->setAccessibleName(kInstructions);

    m_waitingAnnouncement.setSingleShot(true);
    m_waitingAnnouncement.setInterval(kWaitingAnnouncementDelayMs);
    connect(&m_waitingAnnouncement, &QTimer::timeout, this, [this] {
        if (m_auditRunning) announceResult();
    });
}

QStringList MainWindow::noticeLines() const { return m_notice->lines(); }

QStringList MainWindow::resultLines() const {
    if (m_auditRunning) return {kWaitingText};
    QStringList lines;
    if (!savedText().isEmpty()) {
        lines << savedText();
    } else {
        lines << screenCaption(m_auditState);
        if (m_auditState == quorvel::Verdict::Initial) {
            lines << kInitialPlaceholder;
        } else if (m_auditState != quorvel::Verdict::Passed) {
            lines << kReasonHeading + screenReason(m_auditState) << m_measuredText;
        } else {
            lines << QStringLiteral("处理后的照片 %1×%2 像素，可以保存")
                         .arg(m_processedPhoto.cols)
                         .arg(m_processedPhoto.rows)
                  << m_adviceText;
        }
        if (m_alreadyProcessed) lines << kAlreadyProcessedNote;
    }
    // A verdict that did not reach the activity log says so after it.
    if (!logText().isEmpty()) lines << logText();
    return lines;
}

void MainWindow::announceResult() {
    m_waitingAnnouncement.stop();
    const bool showsPhoto = !m_auditRunning && m_auditState == quorvel::Verdict::Passed;
    if (showsPhoto) {
        m_photoPart->setAccessibleDescription(
            QStringLiteral("审核通过并处理好的证件照，%1×%2 像素，可以保存")
                .arg(m_processedPhoto.cols)
                .arg(m_processedPhoto.rows));
    }
    m_photoPart->setVisible(showsPhoto);
    m_notice->announce(resultLines());
}

void MainWindow::holdFocusForResult() {
    // Only when the window was left for the dialog: a window not yet shown
    // active has no focus to give back.
    auto* button = qobject_cast<PictureButton*>(focusWidget());
    if (!m_hasBeenActive || isActiveWindow() || button == nullptr) return;
    m_focusHeldFor = button;
    button->setFocusHeld(true);
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::releaseHeldFocus() {
    if (m_focusHeldFor == nullptr) return;
    m_focusHeldFor->setFocusHeld(false);
    m_focusHeldFor = nullptr;
}

void MainWindow::focusInEvent(QFocusEvent* event) {
    QDialog::focusInEvent(event);
    if (m_focusHeldFor != nullptr) m_focusHeldFor->update();
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
    QDialog::focusOutEvent(event);
    // A key or a click has moved the focus on inside the window.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        releaseHeldFocus();
    } else if (m_focusHeldFor != nullptr) {
        m_focusHeldFor->update();
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow()) {
        m_hasBeenActive = true;
    } else if (m_hasBeenActive) {
        // The instructions were heard with the window when it first
        // appeared; a return to it says its title, and the text of their own
        // keeps them at hand.
        setAccessibleDescription(QString());
    }
}

}  // namespace quorvel::gui
