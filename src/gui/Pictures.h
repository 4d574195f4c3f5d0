#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

#include "core/audit/Verdict.h"

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

// The picture at a resource path; empty when it cannot be loaded.
QImage loadPicture(const QString& path);

// The application icon with all its sizes.
QIcon appIcon();

}  // namespace quorvel::gui
