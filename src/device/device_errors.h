// The controller reports its faults as four bytes, one per internal module, one bit per fault.
// Each module is described by a CDeviceErrorBase that holds its messages by bit number;
// CLPGDeviceErr (the base of the device object) turns the four bytes into a flat message list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The message of a link that broke under a page's or a command's feet (the user must replug).
inline constexpr wchar_t kReplugText[] =
    L"Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w komputerze";

class CDeviceErrorBase {
  public:
    CDeviceErrorBase() = default;
    virtual ~CDeviceErrorBase() = default;
    CDeviceErrorBase(const CDeviceErrorBase&) = delete;
    CDeviceErrorBase& operator=(const CDeviceErrorBase&) = delete;

    // The module's name in the current language.
    virtual std::wstring moduleName() const;
    // One message per set bit, lowest bit first; a bit without a message of its own gives the
    // translated "Nieznany kod błędu" followed by " = 0x" and the bit's mask in lower-case hex.
    std::vector<std::wstring> decodeByte(uint8_t errorByte) const;

    const std::vector<std::wstring>& messages() const { return m_messages; }

  protected:
    // Appends the message of the next bit, translated now.
    void addMessage(const std::wstring& polish);

  private:
    std::vector<std::wstring> m_messages;
};

class CEEPROMError : public CDeviceErrorBase {
  public:
    CEEPROMError();
    std::wstring moduleName() const override;
};

class CSIGNALError : public CDeviceErrorBase {
  public:
    CSIGNALError();
    std::wstring moduleName() const override;
};

class CGAP1Error : public CDeviceErrorBase {
  public:
    CGAP1Error();
    std::wstring moduleName() const override;
};

class CGAP2Error : public CDeviceErrorBase {
  public:
    CGAP2Error() = default;
    std::wstring moduleName() const override;
};

constexpr size_t kErrorModuleCount = 4;

class CLPGDeviceErr {
  public:
    CLPGDeviceErr() = default;
    virtual ~CLPGDeviceErr() = default;
    CLPGDeviceErr(const CLPGDeviceErr&) = delete;
    CLPGDeviceErr& operator=(const CLPGDeviceErr&) = delete;

    // Builds the four module descriptions (EEPROM, SIGNAL, GAP1, GAP2) in the current language.
    // The device's start runs it; a later start keeps the set it already has.
    void buildErrorModules();
    // The language switch: drops the descriptions and builds them again in the new language.
    void rebuildErrorModules();

    // Every message of the four error bytes, module 0 first; empty when no bit is set.
    std::vector<std::wstring> decodeErrors(const uint8_t errorBytes[kErrorModuleCount]) const;
    // The messages of one module's byte; a module number out of range gives the single
    // translated message "Nieznany kod modułu".
    std::vector<std::wstring> decodeErrorModule(size_t module, uint8_t errorByte) const;

    size_t errorModuleCount() const;
    // The name of module m in the language of its build; "Nieznany kod błędu" out of range.
    std::wstring errorModuleName(size_t module) const;

  private:
    // Guards the list: a language switch may rebuild it while another thread decodes.
    mutable std::mutex m_errorModulesLock;
    std::vector<std::unique_ptr<CDeviceErrorBase>> m_errorModules;
};
