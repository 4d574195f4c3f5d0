#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QString>

#include "core/audit/Verdict.h"

class QPainter;

namespace quorvel::gui {

// The window's pictures, embedded in the executable under their paths in
// resources/.
namespace pictures {

inline const QString kOpenButton = QStringLiteral(":/buttons/open.png");
inline const QString kSaveButton = QStringLiteral(":/buttons/save.png");
// 201 x 52, larger than the button: shown centred and cut to it.
inline const QString kSaveButtonDisabled = QStringLiteral(":/buttons/save-disabled.png");
inline const QString kExitButton = QStringLiteral(":/buttons/exit.png");

}  // namespace pictures

// The 800 x 600 screen painted for a verdict, e.g. ":/screens/passed.png".
QString screenPicture(quorvel::Verdict verdict);

// The picture at a resource path; empty when it cannot be loaded. For a
// device of more than one pixel per window pixel it is the picture's @2x
// version (":/buttons/open@2x.png") with device pixel ratio 2, when there is
// one: the same size in window pixels, painted at twice the resolution.
QImage loadPicture(const QString& path, qreal devicePixelRatio = 1);

// Draws a picture at its size in window pixels with its top-left corner at
// `at`, smoothed where the device's pixel ratio is not the picture's.
void drawPicture(QPainter& painter, QPoint at, const QImage& picture);

// The application icon with all its sizes.
QIcon appIcon();

}  // namespace quorvel::gui
