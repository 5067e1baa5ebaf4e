// The error library: the base of every error object that the device link throws.
// Errors are created with new and thrown by pointer; the catcher takes ownership at once
// (see catchError below) and destroys the object through the virtual destructor.
#pragma once

#include "platform/text.h"

#include <memory>
#include <string>
#include <vector>

class IError {
public:
    IError(unsigned code, std::wstring text, int line, std::wstring file);
    IError(unsigned code, std::wstring text, IError* inner, int line, std::wstring file);
    virtual ~IError();

    IError(const IError&) = delete;
    IError& operator=(const IError&) = delete;

    virtual std::wstring getClassName() const { return L"IError"; }
    // The printable text of the error, shown as the second line of a message box.
    virtual std::wstring format() const;

    unsigned code() const { return m_code; }
    const std::wstring& text() const { return m_text; }
    int line() const { return m_line; }
    const std::wstring& file() const { return m_file; }
    const IError* inner() const { return m_inner.get(); }
    const std::vector<std::wstring>& descriptions() const { return m_descriptions; }
    // The description for this error's code: codes index the list from 1 upward in the order
    // the derived class appended them, after skipping the codes it does not describe.
    std::wstring description() const;

protected:
    // Derived classes append their texts here from their constructors.
    std::vector<std::wstring> m_descriptions;
    // The first code that the description list describes.
    unsigned m_firstDescribedCode = 0;

private:
    unsigned m_code;
    std::wstring m_text;
    int m_line;
    std::wstring m_file;
    std::unique_ptr<IError> m_inner;
};


// The error-raising base: both slots build a new T on the heap and throw the pointer.
template <class T>
class IErrorHelper {
public:
    virtual ~IErrorHelper() = default;
    [[noreturn]] virtual void throwError(unsigned code, const std::wstring& text, int line,
                                         const std::wstring& file)
    {
        throw static_cast<IError*>(new T(code, text, line, file));
    }
    [[noreturn]] virtual void throwError(unsigned code, const std::wstring& text, IError* inner,
                                         int line, const std::wstring& file)
    {
        throw static_cast<IError*>(new T(code, text, inner, line, file));
    }
};

// Takes ownership of a caught error pointer so that no path can leak it.
inline std::unique_ptr<IError> adoptError(IError* error) { return std::unique_ptr<IError>(error); }
