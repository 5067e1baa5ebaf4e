// The connection manager of CLPGDevice: start-up, the port scan with the remembered last port,
// the candidates identified side by side, one port's connection sequence, the fall-back to demo
// mode and the live thread's reopen.
#include "device/lpg_device.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "platform/port_table.h"
#include "platform/registry.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
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

// Remembers a port that exists but may not be opened by this user, once, for the notice.
void noteDenied(std::vector<std::string>& denied, int n)
{
    if (porttable::portAccess(n) != porttable::PortAccess::Denied)
        return;
    const std::string path = porttable::portPath(n);
    if (std::find(denied.begin(), denied.end(), path) == denied.end())
        denied.push_back(path);
}

} // namespace

void CLPGDevice::Start(const std::function<void()>& answered)
{
    SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
    buildErrorModules();
    FindDevice(answered);
}

// One candidate identified on a port object and a thread of its own, so that silent ports wait
// out their time-outs side by side instead of one after the other.
struct CLPGDevice::PortProbe {
    enum class State { Probing, Answered, Silent };

    int number = 0;
    CSerialPort port;
    IdentityReply reply{};
    State state = State::Probing; // under the search's lock
    std::chrono::steady_clock::time_point answeredAt{};
    std::thread thread;
};

void CLPGDevice::FindDevice(const std::function<void()>& answered)
{
    std::unique_lock hold = HoldAgainstSearch();
    const std::lock_guard portsClosed(m_searchPorts);
    m_searching = true;
    struct SearchEnds {
        std::atomic<bool>& searching;
        ~SearchEnds() { searching = false; }
    } searchEnds{m_searching};
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
    // Once the outcome is set the device is free again; what remains is closing the ports that lost.
    auto answer = [&] {
        m_searching = false;
        hold.unlock();
        if (answered)
            answered();
    };

    // The remembered port alone first: the other ports are not disturbed when it answers.
    if (last != 0 && lastIsCandidate) {
        if (Connect(last)) {
            answer();
            return;
        }
        noteDenied(denied, last);
    }
    if (connectFirstAnswering(candidates, denied, answer))
        return;

    m_demo = true;
    m_connected = false;
    if (m_noConnectionNoticePending.exchange(false))
        userInteraction().showNotice(noConnectionText(denied));
    GetVersion();
    GetSettings();
    GetMap();
    GetMapAxes();
    answer();
}

bool CLPGDevice::connectFirstAnswering(const std::vector<int>& candidates, std::vector<std::string>& denied,
                                       const std::function<void()>& answered)
{
    using State = PortProbe::State;
    using Clock = std::chrono::steady_clock;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::unique_ptr<PortProbe>> probes;
    {
        // The device's own port is closed first: its port may be one of the candidates.
        CMutexGuard guard(&m_mutex);
        m_port.close();
    }
    for (int n : candidates) {
        probes.push_back(std::make_unique<PortProbe>());
        PortProbe& probe = *probes.back();
        probe.number = n;
        probe.thread = std::thread([this, &probe, &lock, &changed] {
            bool heard = false;
            try {
                probe.port.open(probe.number);
                configurePort(probe.port);
                heard = requestIdentity(probe.port, probe.reply);
            } catch (IError* error) {
                adoptError(error);
            }
            if (!heard)
                probe.port.close();
            const std::lock_guard guard(lock);
            probe.state = heard ? State::Answered : State::Silent;
            probe.answeredAt = Clock::now();
            changed.notify_all();
        });
    }

    // The first port in ascending order that answers wins. One that answered waits only for a
    // glance at the ports before it that are still asking: a controller answers in milliseconds,
    // and a silent port would hold the connection up for its three full time-outs.
    const auto grace = std::chrono::milliseconds(m_timings.searchGraceMs);
    bool connected = false;
    std::vector<bool> tried(probes.size(), false);
    std::unique_lock waiting(lock);
    while (!connected) {
        PortProbe* pick = nullptr;
        size_t pickIndex = 0;
        bool earlierStillAsking = false;
        for (size_t i = 0; i < probes.size() && !pick; ++i) {
            if (tried[i])
                continue;
            if (probes[i]->state == State::Answered)
                pick = probes[i].get(), pickIndex = i;
            else if (probes[i]->state == State::Probing)
                earlierStillAsking = true;
        }
        const bool allDone = std::all_of(probes.begin(), probes.end(),
                                         [](const auto& p) { return p->state != State::Probing; });
        if (!pick && allDone)
            break;
        if (!pick || (earlierStillAsking && Clock::now() < pick->answeredAt + grace)) {
            if (pick)
                changed.wait_until(waiting, pick->answeredAt + grace);
            else
                changed.wait(waiting);
            continue;
        }
        tried[pickIndex] = true;
        waiting.unlock();
        adoptPort(pick->port);
        if (connectSequence(&pick->reply)) {
            SaveLastPort(pick->number);
            connected = true;
            answered();
        }
        waiting.lock();
    }
    waiting.unlock();

    // Every probe ends its own attempts and closes its port before the search is over, so that
    // the next search finds every port free.
    for (auto& probe : probes) {
        probe->thread.join();
        probe->port.close();
        if (!connected)
            noteDenied(denied, probe->number);
    }
    return connected;
}

void CLPGDevice::adoptPort(CSerialPort& port)
{
    CMutexGuard guard(&m_mutex);
    m_port.close();
    m_port.swap(port);
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
    return connectSequence(nullptr);
}

bool CLPGDevice::connectSequence(const IdentityReply* identified)
{
    m_connected = false;
    try {
        if (!(identified ? acceptIdentity(*identified) : Identify())) {
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
    // A search owns the ports while it runs; the live thread it interrupted gives up instead.
    if (m_searching)
        return false;
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
