#pragma once

#include <QStringList>
#include <optional>

#include "gui/UserDialogs.h"

// Answers the window's dialogs from prepared lists and records its messages.
// An exhausted list, or a null string in it, answers as a cancelled dialog.
class FakeDialogs : public quorvel::gui::UserDialogs {
public:
    void showMessage(const QString& text) override { messages << text; }
    std::optional<QString> openPath() override { return next(openAnswers); }
    std::optional<QString> savePath() override { return next(saveAnswers); }

    QStringList messages;
    QStringList openAnswers;
    QStringList saveAnswers;

private:
    static std::optional<QString> next(QStringList& answers) {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
};
