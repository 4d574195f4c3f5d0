#pragma once

#include <QString>

#include "core/save/SavePhoto.h"

namespace quorvel::gui {

// What the user is told when saving the accepted photo failed: the reason in
// plain words and what to try instead, followed by the system's detail where
// it helps.
QString saveFailureMessage(const quorvel::Error& result);

}  // namespace quorvel::gui
