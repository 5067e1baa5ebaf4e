#include "cli_user.h"

#include "cli.h"

#include "platform/ierror.h"

#include <ostream>

namespace cli {

CCliUser::CCliUser(std::ostream& err, bool answerYes) : m_err(err), m_answerYes(answerYes)
{
    setUserInteraction(this);
}

CCliUser::~CCliUser() { setUserInteraction(nullptr); }

void CCliUser::showMessage(const std::wstring& text, MessageIcon)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_messages;
    printRaw(m_err, unicode2utf8(text));
}

bool CCliUser::askYesNo(const std::wstring& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_answerYes)
        printRaw(m_err, unicode2utf8(text));
    return m_answerYes;
}

std::wstring CCliUser::pickFile(const FileRequest&) { return m_file; }

void CCliUser::progress(int done, int total)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_err << "doravine-cli: " << done << "/" << total << "\n";
    m_err.flush();
}

}  // namespace cli
