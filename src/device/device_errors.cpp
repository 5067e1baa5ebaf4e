#include "device/device_errors.h"

#include "base/language.h"

#include <sstream>

std::wstring CDeviceErrorBase::moduleName() const
{
    return translateText(L"Nieznany kod błędu");
}

void CDeviceErrorBase::addMessage(const std::wstring& polish)
{
    m_messages.push_back(translateText(polish));
}

std::vector<std::wstring> CDeviceErrorBase::decodeByte(uint8_t errorByte) const
{
    std::vector<std::wstring> result;
    if (errorByte == 0)
        return result;
    for (unsigned bit = 0; bit < 8; ++bit) {
        const unsigned mask = 1u << bit;
        if ((errorByte & mask) == 0)
            continue;
        // No terminating NUL inside the text: it would travel into the list and onto stdout.
        std::wostringstream message;
        if (bit < m_messages.size())
            message << m_messages[bit];
        else
            message << translateText(L"Nieznany kod błędu") << L" = 0x" << std::hex << mask;
        result.push_back(message.str());
    }
    return result;
}

CEEPROMError::CEEPROMError()
{
    addMessage(TR_KEY(L"Błąd zapisu do pamięci EEPROM"));
    addMessage(TR_KEY(L"Błąd odczytu z pamięci EEPROM"));
    addMessage(TR_KEY(L"Błąd ustawienia adresu pamięci EEPROM"));
    addMessage(TR_KEY(L"ERROR_EEPROM_FORMAT"));
    addMessage(TR_KEY(L"Błąd zapisu struktury do pamięci EEPROM"));
    addMessage(TR_KEY(L"Błąd odczytu struktury z pamięci EEPROM"));
    addMessage(TR_KEY(L"Błędny typ struktury pamięci EEPROM"));
    addMessage(TR_KEY(L"Błąd sumy kontrolnej w pamięci EEPROM"));
}

std::wstring CEEPROMError::moduleName() const
{
    return translateText(L"EEPROM");
}

CSIGNALError::CSIGNALError()
{
    addMessage(TR_KEY(L"Błąd odczytu sygnału - zamienione przewody sygnałowe"));
    addMessage(TR_KEY(L"Błąd liczby ząbków - wybrano zły rodzaj koła"));
}

std::wstring CSIGNALError::moduleName() const
{
    return translateText(L"SYGNAŁ");
}

CGAP1Error::CGAP1Error()
{
    addMessage(TR_KEY(L"Błąd - zbyt niskie napięcie zasilania"));
}

std::wstring CGAP1Error::moduleName() const
{
    return translateText(L"GAP1");
}

std::wstring CGAP2Error::moduleName() const
{
    return translateText(L"GAP2");
}

namespace {

void appendModules(std::vector<std::unique_ptr<CDeviceErrorBase>>& list)
{
    list.push_back(std::make_unique<CEEPROMError>());
    list.push_back(std::make_unique<CSIGNALError>());
    list.push_back(std::make_unique<CGAP1Error>());
    list.push_back(std::make_unique<CGAP2Error>());
}

} // namespace

void CLPGDeviceErr::buildErrorModules()
{
    // A second start (after a firmware update) would only add an unused second set.
    std::lock_guard<std::mutex> lock(m_errorModulesLock);
    if (m_errorModules.empty())
        appendModules(m_errorModules);
}

void CLPGDeviceErr::rebuildErrorModules()
{
    // Built outside the lock so that decoding waits only for the swap.
    std::vector<std::unique_ptr<CDeviceErrorBase>> fresh;
    appendModules(fresh);
    std::lock_guard<std::mutex> lock(m_errorModulesLock);
    m_errorModules.swap(fresh);
}

std::vector<std::wstring> CLPGDeviceErr::decodeErrorModule(size_t module, uint8_t errorByte) const
{
    std::lock_guard<std::mutex> lock(m_errorModulesLock);
    if (module >= m_errorModules.size())
        return {translateText(L"Nieznany kod modułu")};
    return m_errorModules[module]->decodeByte(errorByte);
}

std::vector<std::wstring> CLPGDeviceErr::decodeErrors(const uint8_t errorBytes[kErrorModuleCount]) const
{
    std::vector<std::wstring> result;
    for (size_t m = 0; m < kErrorModuleCount; ++m) {
        auto messages = decodeErrorModule(m, errorBytes[m]);
        result.insert(result.end(), std::make_move_iterator(messages.begin()),
                      std::make_move_iterator(messages.end()));
    }
    return result;
}

size_t CLPGDeviceErr::errorModuleCount() const
{
    std::lock_guard<std::mutex> lock(m_errorModulesLock);
    return m_errorModules.size();
}

std::wstring CLPGDeviceErr::errorModuleName(size_t module) const
{
    std::lock_guard<std::mutex> lock(m_errorModulesLock);
    if (module >= m_errorModules.size())
        return CDeviceErrorBase().moduleName();
    return m_errorModules[module]->moduleName();
}
