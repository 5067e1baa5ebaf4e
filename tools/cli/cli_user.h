// The user as the command-line tool sees it: messages go to standard error prefixed
// "doravine-cli: ", questions take their answer from --yes / --force (else No, with the
// question's text printed), files come from the arguments, progress is a line on standard error.
#pragma once

#include "base/user_interaction.h"

#include <iosfwd>
#include <mutex>
#include <string>

namespace cli {

class CCliUser : public IUserInteraction {
  public:
    // Installed as the process-wide user for its lifetime.
    CCliUser(std::ostream& err, bool answerYes);
    ~CCliUser() override;

    void showMessage(const std::wstring& text, MessageIcon icon) override;
    bool askYesNo(const std::wstring& text) override;
    std::wstring pickFile(const FileRequest& request) override;
    void beginWait() override {}
    void endWait() override {}
    void progress(int done, int total) override;

    // The answer of the next file request (the command's FILE argument).
    void setFile(const std::wstring& path) { m_file = path; }
    // Whether any message was shown (commands use it to avoid printing a failure twice).
    bool anyMessage() const { return m_messages > 0; }

  private:
    std::ostream& m_err;
    bool m_answerYes;
    std::wstring m_file;
    int m_messages = 0;
    std::mutex m_mutex;
};

}  // namespace cli
