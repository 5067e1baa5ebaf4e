// The user as tests see it: keeps every message, answers questions and file requests from a
// script, counts wait cursors and progress reports. Installed for its lifetime.
#pragma once

#include "base/user_interaction.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CRecordingUser : public IUserInteraction {
  public:
    struct Message {
        std::wstring text;
        MessageIcon icon;
    };

    CRecordingUser();
    ~CRecordingUser() override;

    void showMessage(const std::wstring& text, MessageIcon icon) override;
    bool askYesNo(const std::wstring& text) override;
    // Kept among questions() and in yesPreselected().
    bool askYesNoDefaultYes(const std::wstring& text) override;
    std::wstring pickFile(const FileRequest& request) override;
    void beginWait() override;
    void endWait() override;
    void progress(int done, int total) override;
    void closeNotice() override;

    // Scripted answers, used in order; when they run out questions get No and files nothing.
    void answerYes(int times = 1);
    void answerNo(int times = 1);
    void answerFile(const std::wstring& path);

    std::vector<Message> messages() const { return locked(m_messages); }
    std::vector<std::wstring> texts() const; // messages' texts only
    std::vector<std::wstring> questions() const { return locked(m_questions); }
    // The questions asked with Yes preselected.
    std::vector<std::wstring> yesPreselected() const { return locked(m_yesPreselected); }
    std::vector<FileRequest> fileRequests() const { return locked(m_fileRequests); }
    std::vector<std::pair<int, int>> progressReports() const { return locked(m_progress); }
    int waitDepth() const { return locked(m_waitDepth); }
    // closeNotice calls so far.
    int noticesClosed() const { return locked(m_noticesClosed); }
    void clear();

  private:
    // A copy of a member taken under the lock: the program's threads report while tests read.
    template <class T>
    T locked(const T& member) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return member;
    }

    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<std::wstring> m_questions;
    std::vector<std::wstring> m_yesPreselected;
    std::vector<FileRequest> m_fileRequests;
    std::vector<std::pair<int, int>> m_progress;
    std::deque<bool> m_answers;
    std::deque<std::wstring> m_files;
    int m_waitDepth = 0;
    int m_noticesClosed = 0;
};
