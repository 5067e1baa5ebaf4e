// The user, as the core sees it. The window answers with Qt dialogs, the command-line tool with
// standard error and its options, tests with a recorder that keeps every message and answers
// from a script. Core code never shows a widget itself.
#pragma once

#include <string>

enum class MessageIcon { Information, Warning, Error, Question };

struct FileRequest {
    std::wstring folder;     // where the dialog starts
    std::wstring filter;     // e.g. L"Settings (*.settings)|*.settings"
    std::wstring extension;  // default extension without the dot
    bool save = false;       // save dialog ("SAVE") or open dialog ("OPEN")
};

class IUserInteraction {
public:
    virtual ~IUserInteraction() = default;
    // A message box titled "Doravine"; text is already translated.
    virtual void showMessage(const std::wstring& text, MessageIcon icon) = 0;
    // A Yes/No question with No preselected; true for Yes.
    virtual bool askYesNo(const std::wstring& text) = 0;
    // The same with Yes preselected, for an offer whose Yes only puts back what was there before.
    virtual bool askYesNoDefaultYes(const std::wstring& text) { return askYesNo(text); }
    // A file picked by the user; empty when cancelled.
    virtual std::wstring pickFile(const FileRequest& request) = 0;
    virtual void beginWait() = 0;
    virtual void endWait() = 0;
    // Progress of a long operation: done of total steps.
    virtual void progress(int done, int total) = 0;
    // The no-connection notice. A window shows it without waiting for the click, so that the
    // search for the controller goes on, and takes it away by closeNotice when the controller is
    // back; elsewhere it is a plain message.
    virtual void showNotice(const std::wstring& text) { showMessage(text, MessageIcon::Information); }
    virtual void closeNotice() {}
};

// The process-wide user. Without one set, messages go nowhere and every question is answered No.
IUserInteraction& userInteraction();
// Sets the process-wide user (not owned); nullptr restores the silent default.
void setUserInteraction(IUserInteraction* user);

class IError;
// A link error caught in a handler: the handler's name over the error's text, as an error box.
// Takes ownership of the error.
void showLinkError(const wchar_t* handler, IError* raised);

// Shows the wait cursor for the lifetime of the object.
class CWaitCursor {
public:
    CWaitCursor() { userInteraction().beginWait(); }
    ~CWaitCursor() { userInteraction().endWait(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
