#pragma once
// Seam: what the core asks of the user. The shell answers with dialogs; headless tools and tests
// answer with fixed or scripted replies.

#include <string>

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
    virtual std::string ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) = 0;
    virtual std::string ChooseFileToSave(const std::string& defaultExt, const std::string& filter,
                                         const std::string& suggestedPath) = 0;
};
