#pragma once

#include <QString>

#include "core/common/Result.h"

namespace quorvel::gui {

// The window's words for what failed: chosen by the error's kind and path,
// never taken from its English message (that one is for logs and
// quorvel-audit).

// What the user is told when saving the accepted photo failed: the reason in
// plain words and what to try instead, followed by the system's detail where
// it helps.
QString saveFailureMessage(const quorvel::Error& result);

// What the user is told when the per-user folder cannot be prepared or
// entered (PrepareUserFolder, EnterUserFolder): the step, the file and the
// system's reason.
QString userFolderFailureMessage(const quorvel::Error& error);

// What the user is told when the session cannot start: a cascade or a
// configuration that cannot be used (the message as it always read), and
// beneath it the file it means (empty without one).
QString startupFailureMessage(const quorvel::Error& error);

// The line the window shows while verdicts do not reach the activity log
// (it cannot be opened, or a write failed): the log's name and that the
// verdicts are not recorded in it.
QString logFailureLine(const quorvel::Error& error);
QString startupFailureDetail(const quorvel::Error& error);

}  // namespace quorvel::gui
