#pragma once

#include <QList>
#include <QStringList>
#include <functional>
#include <optional>

#include "gui/UserDialogs.h"

// Answers the window's dialogs from prepared lists and records its messages,
// the folders the file dialogs start in and the folders shown. An exhausted
// list, or a null string in it, answers as a cancelled dialog.
class FakeDialogs : public quorvel::gui::UserDialogs {
public:
    using quorvel::gui::UserDialogs::showMessage;
    void showMessage(const QString& text, const QString& detail) override {
        messages << text;
        details << detail;
        whileShown();
    }
    bool confirm(const QString& text, const QString&, const QString&) override {
        questions << text;
        whileShown();
        return !confirmAnswers.isEmpty() && confirmAnswers.takeFirst();
    }
    std::optional<QString> openPath(const QString& startFolder) override {
        startFolders << startFolder;
        whileShown();
        return next(openAnswers);
    }
    std::optional<QString> savePath(const QString& startFolder) override {
        startFolders << startFolder;
        whileShown();
        return next(saveAnswers);
    }
    bool showFolder(const QString& folder) override {
        shownFolders << folder;
        return true;
    }

    QStringList messages;
    QStringList details;  // beneath each message; empty where it has none
    QStringList startFolders;
    QStringList shownFolders;
    // Runs while each dialog is up, as a real dialog's event loop would.
    std::function<void()> duringDialog;
    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList questions;       // each question asked
    QList<bool> confirmAnswers;  // exhausted: the default answer, no

private:
    void whileShown() {
        if (duringDialog) duringDialog();
    }
    static std::optional<QString> next(QStringList& answers) {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
};
