// The window's painting: the screen picture of the audit state, with the
// processed photo in the result frame of the success screen.
#include <QPainter>

#include "audit/AuditState.h"
#include "gui/MainWindow.h"
#include "gui/Pictures.h"
#include "gui/ResultPanel.h"

void CQuorvelDlg::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    OnEraseBkgnd(dc);
    OnPaint(dc);
}

bool CQuorvelDlg::OnEraseBkgnd(QPainter& dc) {
    m_rcClient = rect();
    QImage picture = loadPicture(screenPicture(m_nAuditState));
    if (m_nAuditState == AUDIT_PASSED) picture = ComposeResultPanel(picture);
    // A plain copy from the top-left corner, cut to the client area; a picture
    // that could not be loaded paints nothing.
    if (!picture.isNull())
        dc.drawImage(QPoint(0, 0), picture, QRect(QPoint(0, 0), m_rcClient.size()));
    return true;
}

void CQuorvelDlg::OnPaint(QPainter& dc) {
    if (!isMinimized()) return;
    // Where the platform paints a minimised window: the icon, centred.
    const int cxIcon = 32;
    const int cyIcon = 32;
    const int x = (m_rcClient.width() - cxIcon + 1) / 2;
    const int y = (m_rcClient.height() - cyIcon + 1) / 2;
    m_hIcon.paint(&dc, QRect(x, y, cxIcon, cyIcon));
}

QImage CQuorvelDlg::ComposeResultPanel(const QImage& successPicture) const {
    return BgrToPicture(ComposeResultImage(PictureToBgr(successPicture), m_processedPhoto));
}
