#pragma once
// Seam: what the core asks of the user. The shell answers with dialogs; headless tools and tests
// answer with fixed or scripted replies.

#include <string>
#include <vector>

class CUserServices {
public:
    virtual ~CUserServices() = default;

    // A Yes/No question with a question icon; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // The remembered-answer dialog titled "Question?" with "Don't ask this again.". Returns the
    // answer and sets dontAskAgain when the user ticked the box.
    virtual bool AskRemembered(const std::string& question, bool& dontAskAgain) = 0;
    // A plain message box (errors and notices).
    virtual void ShowMessage(const std::string& message) = 0;
    // File choosers; an empty result means the user cancelled. defaultExt is like "*.tnw";
    // filter uses the "Name (*.ext)|*.ext||" form.
    virtual std::string ChooseFileToOpen(const std::string& defaultExt,
                                         const std::string& filter) = 0;
    virtual std::string ChooseFileToSave(const std::string& defaultExt, const std::string& filter,
                                         const std::string& suggestedPath) = 0;
};

// The user of a headless run: every question gets one fixed answer, messages are kept for the
// caller, and file choosers are cancelled.
class CHeadlessUserServices : public CUserServices {
public:
    explicit CHeadlessUserServices(bool answer = true) : m_answer(answer) {}

    bool AskYesNo(const std::string&) override { return m_answer; }
    bool AskRemembered(const std::string& question, bool& dontAskAgain) override
    {
        dontAskAgain = false;
        return AskYesNo(question);
    }
    void ShowMessage(const std::string& message) override { m_messages.push_back(message); }
    std::string ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::string ChooseFileToSave(const std::string&, const std::string&,
                                 const std::string&) override
    {
        return {};
    }

    // The messages shown so far, oldest first.
    const std::vector<std::string>& GetMessages() const { return m_messages; }

private:
    bool m_answer;
    std::vector<std::string> m_messages;
};
