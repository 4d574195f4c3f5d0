#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

namespace quorvel::gui {

// The focus ring: two light pixels between two dark ones.
inline const QColor kFocusRingLight(Qt::white);
inline const QColor kFocusRingDark(0x10, 0x1C, 0x2C);

// A flat push button that shows nothing but a picture: centred, and cut to
// the button where the picture is larger. It takes the keyboard focus, shows
// it with a ring, and clicks on Space, Enter and Return.
class PictureButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit PictureButton(QWidget* parent = nullptr);

    // Replaces the picture shown (the button keeps its own copy).
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }

    // Whether a disabled button is drawn paler. Off for a button whose
    // disabled state has a picture of its own.
    void setFadeWhenDisabled(bool fade);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static void paintFocusRing(QPainter& painter, const QRect& area);

    QImage m_picture;
    bool m_fadeWhenDisabled = true;
};

}  // namespace quorvel::gui
