#include "platform/threads.h"

#include "platform/ierror.h"

#include <algorithm>
#include <exception>

CThreadManager::~CThreadManager() { joinAll(); }

void CThreadManager::runGuarded(CSThread& thread)
{
    // An exception that leaves a thread's body ends the process; a worker reports through its
    // own flags instead, so anything that still escapes is dropped here.
    try {
        thread.run();
    } catch (IError* error) {
        adoptError(error);
    } catch (...) {
    }
}

CThreadManager::ThreadId CThreadManager::insert(CSThread* thread)
{
    std::unique_ptr<CSThread> owned(thread);
    joinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(m_lock);
    const ThreadId id = ++m_lastId;
    ++m_running;
    m_threads.push_back(Entry{id, std::thread([this, done, object = std::move(owned)]() mutable {
                                  runGuarded(*object);
                                  object.reset();
                                  --m_running;
                                  done->store(true);
                              }),
                              done});
    return id;
}

void CThreadManager::joinFinished()
{
    std::vector<Entry> finished;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto split = std::stable_partition(m_threads.begin(), m_threads.end(),
                                                 [](const Entry& e) { return !e.done->load(); });
        std::move(split, m_threads.end(), std::back_inserter(finished));
        m_threads.erase(split, m_threads.end());
    }
    // A finished thread only has its last instructions to run: the join is immediate.
    for (Entry& e : finished)
        e.thread.join();
}

void CThreadManager::join(ThreadId id)
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto found =
            std::find_if(m_threads.begin(), m_threads.end(), [id](const Entry& e) { return e.id == id; });
        if (found == m_threads.end())
            return;
        thread = std::move(found->thread);
        m_threads.erase(found);
    }
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id())
        thread.join();
    else if (thread.joinable())
        thread.detach();
}

void CThreadManager::joinAll()
{
    std::vector<Entry> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        threads.swap(m_threads);
    }
    for (auto& e : threads)
        if (e.thread.joinable())
            e.thread.join();
}

size_t CThreadManager::held()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_threads.size();
}

bool CThreadManager::holds(ThreadId id)
{
    std::lock_guard<std::mutex> lock(m_lock);
    return std::any_of(m_threads.begin(), m_threads.end(), [id](const Entry& e) { return e.id == id; });
}
