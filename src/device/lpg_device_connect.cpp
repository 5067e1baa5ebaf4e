// The connection manager of CLPGDevice: start-up, the port scan with the remembered last port,
// one port's connection sequence, the fall-back to demo mode and the live thread's reopen.
#include "device/lpg_device.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "platform/port_table.h"
#include "platform/registry.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kLastPortValue = "Last RS nr";

const wchar_t* const kNoConnection = L"BRAK POŁĄCZENIA";
const wchar_t* const kPortDenied =
    L"Port %s istnieje, ale brak uprawnień do jego otwarcia. Dodaj użytkownika do "
    L"grupy, która jest właścicielem urządzenia (w Debianie: dialout).";

void showError(const wchar_t* polish)
{
    userInteraction().showMessage(translateText(polish), MessageIcon::Error);
}

// The no-connection notice; a port that was skipped only for lack of permission is named on a
// second line, since that is the one thing the user can mend.
std::wstring noConnectionText(const std::vector<std::string>& deniedPaths)
{
    std::wstring text = translateText(kNoConnection);
    for (const std::string& path : deniedPaths) {
        std::wstring line = translateText(kPortDenied);
        const auto at = line.find(L"%s");
        if (at != std::wstring::npos)
            line.replace(at, 2, utf82unicode(path));
        text += L"\n" + line;
    }
    return text;
}

} // namespace

void CLPGDevice::Start()
{
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    buildErrorModules();
    FindDevice();
}

void CLPGDevice::FindDevice()
{
    m_connected = false;
    m_demo = false;
    // A new scan may program a controller found in its boot loader again; the reconnection
    // inside an update is part of that update's scan.
    if (!m_updatingFirmware)
        m_bootloaderUpdateTried = false;
    const int last = LoadLastPort();

    // The table is probed without opening anything; only ports that exist are opened.
    const std::vector<int> candidates = porttable::existingPorts();
    bool lastIsCandidate = false;
    for (int n : candidates)
        lastIsCandidate = lastIsCandidate || (n == last);

    std::vector<std::string> denied;
    auto tryPort = [&](int n) {
        if (Connect(n))
            return true;
        if (porttable::portAccess(n) == porttable::PortAccess::Denied) {
            const std::string path = porttable::portPath(n);
            bool known = false;
            for (const auto& p : denied)
                known = known || p == path;
            if (!known)
                denied.push_back(path);
        }
        return false;
    };

    if (last != 0 && lastIsCandidate && tryPort(last))
        return;
    for (int n : candidates)
        if (tryPort(n))
            return;

    m_demo = true;
    m_connected = false;
    if (m_noConnectionNoticePending.exchange(false))
        userInteraction().showNotice(noConnectionText(denied));
    GetVersion();
    GetSettings();
    GetMap();
    GetMapAxes();
}

bool CLPGDevice::Connect(int port)
{
    try {
        CMutexGuard guard(&m_mutex);
        m_port.close();
        m_port.open(port);
        ConfigurePort();
    } catch (IError* error) {
        adoptError(error);
        m_port.close();
        return false;
    }
    if (!ConnectSequence())
        return false;
    SaveLastPort(port);
    return true;
}

bool CLPGDevice::ConnectSequence()
{
    m_connected = false;
    try {
        if (!Identify()) {
            m_connected = false;
            return false;
        }
        m_demo = false;
        m_connected = true;
        m_noConnectionNoticePending = true;
        // A notice still open from the search before says what is no longer true.
        userInteraction().closeNotice();
        if (!GetVersion())
            showError(L"Nie powiodło się odczytanie wersji urządzenia!");
        if (!GetSettings())
            showError(L"Nie powiodło się wczytanie ustawień urządzenia!");
        if (!GetMap())
            showError(L"Nie powiodło się wczytanie ustawień urządzenia!");
        if (!GetMapAxes())
            showError(L"Nie powiodło się wczytanie ustawień urządzenia!");
    } catch (IError* error) {
        ReportLinkLost(error);
    }
    return true;
}

void CLPGDevice::ReportLinkLost(IError* error)
{
    adoptError(error);
    m_connected = false;
    showError(kReplugMessage);
}

bool CLPGDevice::RunCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (IError* error) {
        ReportLinkLost(error);
        return false;
    }
}

bool CLPGDevice::Reopen()
{
    try {
        CMutexGuard guard(&m_mutex);
        const int port = m_port.portNumber();
        m_port.close();
        m_port.open(port);
        ConfigurePort();
    } catch (IError* error) {
        adoptError(error);
        return false;
    }
    return true;
}

bool CLPGDevice::Close()
{
    if (m_demo)
        return true;
    CMutexGuard guard(&m_mutex);
    return m_port.close();
}

void CLPGDevice::SaveLastPort(int port)
{
    registry::writeString(kLastPortValue, std::to_string(port));
}

int CLPGDevice::LoadLastPort()
{
    const auto text = registry::readString(kLastPortValue);
    if (!text || text->empty())
        return 0;
    // The decimal number at the start of the text; anything else reads as no port.
    const char* begin = text->c_str();
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || value < 0 || value > porttable::kMaxPort)
        return 0;
    return static_cast<int>(value);
}
