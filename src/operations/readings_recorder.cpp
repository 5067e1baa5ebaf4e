#include "operations/readings_recorder.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "platform/local_time.h"
#include "platform/paths.h"

#include <ctime>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Two recordings started within one second get the suffixes _2, _3, ...
constexpr int kNameAttempts = 9;

std::tm localNow()
{
    return localTime(std::time(nullptr));
}

std::wstring withSuffix(const std::wstring& name, int attempt)
{
    if (attempt == 1)
        return name;
    const auto dot = name.rfind(L'.');
    return name.substr(0, dot) + L"_" + std::to_wstring(attempt) + name.substr(dot);
}

} // namespace

CReadingsRecorder::CReadingsRecorder(CDiagData& store) : m_store(store) {}

CReadingsRecorder::~CReadingsRecorder()
{
    stop();
}

bool CReadingsRecorder::start(const std::wstring& folder)
{
    stop();
    const std::wstring name = CReadingsLog::fileNameFor(localNow());
    bool created = false;
    for (int attempt = 1; attempt <= kNameAttempts && !created; ++attempt) {
        m_path = folder + withSuffix(name, attempt);
        created = m_log.create(nativePath(m_path));
    }
    if (!created) {
        userInteraction().showMessage(translateText(L"Nie można utworzyć pliku odczytów:") + L"\n" + m_path,
                                      MessageIcon::Error);
        return false;
    }
    m_start = CDiagClock::now();
    m_next = m_store.nextSerial();
    m_stopRequested = false;
    m_failed = false;
    m_written = 0;
    m_skipped = 0;
    m_thread = std::thread([this] { run(); });
    return true;
}

void CReadingsRecorder::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        const bool stopping =
            m_wake.wait_for(lock, std::chrono::milliseconds(kPumpMillis), [this] { return m_stopRequested; });
        lock.unlock();
        const bool written = pump();
        lock.lock();
        if (!written) {
            m_failed = true;
            return;
        }
        if (stopping)
            return;
    }
}

bool CReadingsRecorder::pump()
{
    std::vector<CDiagEntry> entries;
    const uint64_t from = m_next;
    m_next = m_store.copySince(from, entries);
    if (!entries.empty() && entries.front().serial > from)
        m_skipped += entries.front().serial - from;
    const bool ok = m_log.append(entries, m_start);
    if (ok)
        m_written += entries.size();
    return ok;
}

void CReadingsRecorder::join()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_log.close();
}

void CReadingsRecorder::stop()
{
    join();
}

bool CReadingsRecorder::poll()
{
    if (!m_failed.load())
        return m_thread.joinable();
    join();
    m_failed = false;
    userInteraction().showMessage(
        translateText(L"Błąd zapisu pliku odczytów. Zapis zatrzymano; odczyty zapisane do tej chwili są w pliku:") +
            L"\n" + m_path,
        MessageIcon::Error);
    return false;
}

long long CReadingsRecorder::seconds() const
{
    if (!m_thread.joinable())
        return 0;
    return std::chrono::duration_cast<std::chrono::seconds>(CDiagClock::now() - m_start).count();
}
