#pragma once

#include <QStringList>
#include <optional>

#include "gui/UserDialogs.h"

// Answers the window's dialogs from prepared lists and records its messages.
// An exhausted list, or a null string in it, answers as a cancelled dialog.
class CFakeDialogs : public IUserDialogs {
public:
    void ShowMessage(const QString& text) override { messages << text; }
    std::optional<QString> GetOpenPath() override { return Next(openAnswers); }
    std::optional<QString> GetSavePath() override { return Next(saveAnswers); }

    QStringList messages;
    QStringList openAnswers;
    QStringList saveAnswers;

private:
    static std::optional<QString> Next(QStringList& answers) {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
};
