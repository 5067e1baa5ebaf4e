#include "support/recording_user.h"

CRecordingUser::CRecordingUser() { setUserInteraction(this); }

CRecordingUser::~CRecordingUser() { setUserInteraction(nullptr); }

void CRecordingUser::showMessage(const std::wstring& text, MessageIcon icon)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back({text, icon});
}

bool CRecordingUser::askYesNo(const std::wstring& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_questions.push_back(text);
    if (m_answers.empty())
        return false;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

bool CRecordingUser::askYesNoDefaultYes(const std::wstring& text)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_yesPreselected.push_back(text);
    }
    return askYesNo(text);
}

std::wstring CRecordingUser::pickFile(const FileRequest& request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileRequests.push_back(request);
    if (m_files.empty())
        return {};
    std::wstring path = m_files.front();
    m_files.pop_front();
    return path;
}

void CRecordingUser::beginWait()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_waitDepth;
}

void CRecordingUser::endWait()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_waitDepth;
}

void CRecordingUser::progress(int done, int total)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.emplace_back(done, total);
}

void CRecordingUser::answerYes(int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.insert(m_answers.end(), times, true);
}

void CRecordingUser::answerNo(int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.insert(m_answers.end(), times, false);
}

void CRecordingUser::answerFile(const std::wstring& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_files.push_back(path);
}

std::vector<std::wstring> CRecordingUser::texts() const
{
    std::vector<std::wstring> out;
    for (const auto& m : messages())
        out.push_back(m.text);
    return out;
}

void CRecordingUser::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
    m_questions.clear();
    m_yesPreselected.clear();
    m_fileRequests.clear();
    m_progress.clear();
}

void CRecordingUser::closeNotice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_noticesClosed;
}

