#include "platform/threads.h"

CThreadManager::~CThreadManager() { joinAll(); }

void CThreadManager::insert(CSThread* thread)
{
    std::unique_ptr<CSThread> owned(thread);
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_running;
    m_threads.emplace_back([this, object = std::move(owned)]() mutable {
        object->run();
        object.reset();
        --m_running;
    });
}

void CThreadManager::joinAll()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        threads.swap(m_threads);
    }
    for (auto& t : threads)
        if (t.joinable())
            t.join();
}
