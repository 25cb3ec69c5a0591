// Prompts that answer from a script instead of showing a box, and remember
// every box that was asked for, with whether the hourglass was still showing.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <deque>
#include <optional>
#include <vector>

#include "ui/dialogs/prompts.h"

namespace uitest {

class FakePrompts : public ui::Prompts {
  public:
    enum class Kind { Error, Plain, Warning, Question, Save, Open };
    struct Shown {
        Kind kind;
        QString text;
        bool waitCursor;  // the hourglass was showing when the box came up
    };

    std::vector<Shown> shown;
    std::deque<bool> answers;                      // for question(), in order
    std::deque<std::optional<QString>> saveFiles;  // for saveFile(), in order
    std::vector<ui::SaveRequest> saveRequests;     // what each saveFile() was asked
    std::deque<std::optional<QString>> openFiles;  // for openFile(), in order
    std::vector<ui::OpenRequest> openRequests;     // what each openFile() was asked

    void error(const QString& text) override { record(Kind::Error, text); }
    void plain(const QString& text) override { record(Kind::Plain, text); }
    void warning(const QString& text) override { record(Kind::Warning, text); }
    bool question(const QString& text) override {
        record(Kind::Question, text);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> saveFile(const ui::SaveRequest& request) override {
        record(Kind::Save, request.title);
        saveRequests.push_back(request);
        if (saveFiles.empty()) {
            ADD_FAILURE() << "unexpected save dialog";
            return std::nullopt;
        }
        // Copied by hand: g++ 12 takes a copied optional<QString> for uninitialised.
        std::optional<QString> answer;
        if (saveFiles.front()) answer.emplace(*saveFiles.front());
        saveFiles.pop_front();
        return answer;
    }

    std::optional<QString> openFile(const ui::OpenRequest& request) override {
        record(Kind::Open, request.title);
        openRequests.push_back(request);
        if (openFiles.empty()) {
            ADD_FAILURE() << "unexpected open dialog";
            return std::nullopt;
        }
        std::optional<QString> answer;
        if (openFiles.front()) answer.emplace(*openFiles.front());
        openFiles.pop_front();
        return answer;
    }

    std::vector<QString> errors() const {
        std::vector<QString> out;
        for (const Shown& s : shown)
            if (s.kind == Kind::Error) out.push_back(s.text);
        return out;
    }

  private:
    void record(Kind kind, const QString& text) {
        shown.push_back({kind, text, QApplication::overrideCursor() != nullptr});
    }
};

}  // namespace uitest
