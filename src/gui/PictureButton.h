#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QString>

namespace quorvel::gui {

// The focus ring: two light pixels between two dark ones.
inline const QColor kFocusRingLight(Qt::white);
inline const QColor kFocusRingDark(0x10, 0x1C, 0x2C);

// A flat push button that shows nothing but a picture: centred, and cut to
// the button where the picture is larger. It takes the keyboard focus, shows
// it with a ring, and clicks on Space, Enter and Return, and at once on its
// shortcut (setShortcut), which also gives it the focus.
class PictureButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PictureButton(QWidget* parent = nullptr);

    // Shows the picture at a resource path, and its @2x version on a device
    // of more than one pixel per window pixel (see loadPicture).
    void setPicture(const QString& path);
    const QImage& picture() const { return m_picture; }

    // Whether a disabled button is drawn paler. Off for a button whose
    // disabled state has a picture of its own.
    void setFadeWhenDisabled(bool fade);

    // Shows the focus ring while the window itself holds the keyboard focus
    // for this button, which takes it once the window hands it on.
    void setFocusHeld(bool held);

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static void paintFocusRing(QPainter& painter, const QRect& area);

    QImage m_picture;
    QImage m_sharpPicture;  // the @2x version
    bool m_fadeWhenDisabled = true;
    bool m_focusHeld = false;
};

}  // namespace quorvel::gui
