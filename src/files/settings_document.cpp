#include "files/settings_document.h"

const wchar_t* CSettingsDocument::open(const std::wstring& path)
{
    CSettingsSnapshot read;
    read.initMarker(0);
    if (const wchar_t* refusal = read.readFileRefusal(path))
        return refusal;
    m_read = read;
    // The wheel the owner chose for the file survives opening another one.
    read.readFields(m_record);
    m_path = path;
    m_modified = false;
    if (m_changed)
        m_changed();
    return nullptr;
}

void CSettingsDocument::close()
{
    m_path.clear();
    m_modified = false;
    if (m_changed)
        m_changed();
}

void CSettingsDocument::markModified()
{
    if (m_modified)
        return;
    m_modified = true;
    if (m_changed)
        m_changed();
}

CSettingsSnapshot CSettingsDocument::snapshot() const
{
    CSettingsSnapshot now = m_read;
    now.writeFields(m_record);
    return now;
}

const wchar_t* CSettingsDocument::saveTo(const std::wstring& path)
{
    const std::wstring target = path.empty() ? m_path : path;
    const CSettingsSnapshot now = snapshot();
    if (const wchar_t* failure = CSettingsSnapshot::replaceFile(target, now.fileBytes()))
        return failure;
    m_read = now;
    m_path = target;
    m_modified = false;
    if (m_changed)
        m_changed();
    return nullptr;
}
