#include "platform/ierror.h"

#include <algorithm>
#include <sstream>

IError::IError(unsigned code, std::wstring text, int line, std::wstring file)
    : m_code(code), m_text(std::move(text)), m_line(line), m_file(std::move(file))
{
}

IError::IError(unsigned code, std::wstring text, IError* inner, int line, std::wstring file)
    : m_code(code), m_text(std::move(text)), m_line(line), m_file(std::move(file)), m_inner(inner)
{
}

IError::~IError() = default;

std::wstring IError::description() const
{
    if (m_code < m_firstDescribedCode)
        return {};
    const size_t index = m_code - m_firstDescribedCode;
    return index < m_descriptions.size() ? m_descriptions[index] : std::wstring();
}

std::wstring IError::format() const
{
    std::wostringstream out;
    out << getClassName() << L" [" << m_code << L"]";
    const std::wstring desc = description();
    if (!desc.empty())
        out << L" " << desc;
    out << L"\n" << m_text;
    // The terminating NUL that some texts carry is not part of what a user reads.
    std::wstring result = out.str();
    result.erase(std::remove(result.begin(), result.end(), L'\0'), result.end());
    result += L"\n(" + m_file + L":" + std::to_wstring(m_line) + L")";
    if (m_inner)
        result += L"\n" + m_inner->format();
    return result;
}
