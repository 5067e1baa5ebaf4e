// The error that every failed serial-port operation throws (by pointer, like every IError).
#pragma once

#include "platform/ierror.h"

#include <string>

class CRSError : public IError {
  public:
    // Codes that the serial port raises.
    static constexpr unsigned kOpenFailed = 5;
    static constexpr unsigned kOperationFailed = 6;

    CRSError(unsigned code, std::wstring text, int line, std::wstring file);
    CRSError(unsigned code, std::wstring text, IError* inner, int line, std::wstring file);
    ~CRSError() override;

    std::wstring getClassName() const override { return L"CRSError"; }

  protected:
    // Appends the translated texts for codes 5 and 6, in that order.
    virtual void fillDescriptions();
};
