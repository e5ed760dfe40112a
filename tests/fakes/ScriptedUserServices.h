#pragma once
// User services answering from a script and writing down every question and message.

#include <deque>
#include <string>
#include <vector>

#include "document/UserServices.h"

class CScriptedUserServices : public CUserServices {
public:
    // Answers for the next questions (Yes/No and remembered alike), oldest first; when the
    // script runs out every question is answered No.
    std::deque<bool> m_answers;
    // Whether the "Don't ask this again." box is ticked in remembered questions.
    bool m_tickDontAskAgain = false;
    // Path returned by the file choosers (empty = cancelled).
    std::string m_chosenPath;

    std::vector<std::string> m_questions;
    std::vector<std::string> m_messages;

    bool AskYesNo(const std::string& question) override
    {
        m_questions.push_back(question);
        return NextAnswer();
    }
    bool AskRemembered(const std::string& question, bool& dontAskAgain) override
    {
        m_questions.push_back(question);
        dontAskAgain = m_tickDontAskAgain;
        return NextAnswer();
    }
    void ShowMessage(const std::string& message) override { m_messages.push_back(message); }
    std::string ChooseFileToOpen(const std::string&, const std::string&) override
    {
        return m_chosenPath;
    }
    std::string ChooseFileToSave(const std::string&, const std::string&,
                                 const std::string&) override
    {
        return m_chosenPath;
    }

private:
    bool NextAnswer()
    {
        if (m_answers.empty()) return false;
        const bool answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
};
