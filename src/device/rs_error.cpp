#include "device/rs_error.h"

#include "base/language.h"

CRSError::CRSError(unsigned code, std::wstring text, int line, std::wstring file)
    : IError(code, std::move(text), line, std::move(file))
{
    fillDescriptions();
}

CRSError::CRSError(unsigned code, std::wstring text, IError* inner, int line, std::wstring file)
    : IError(code, std::move(text), inner, line, std::move(file))
{
    fillDescriptions();
}

CRSError::~CRSError() = default;

void CRSError::fillDescriptions()
{
    m_firstDescribedCode = kOpenFailed;
    m_descriptions.push_back(translateText(L"Nie można otworzyć portu RS."));
    m_descriptions.push_back(translateText(L"Nie można wykonać operacji na RS."));
}
