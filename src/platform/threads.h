// The thread library: the device mutex, its scoped guard, the worker-thread base and the
// manager that starts workers and owns them until their run returns.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CMSGMutex {
public:
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    // Recursive: a command may call another command's exchange on the same thread.
    std::recursive_mutex m_mutex;
};

class CMutexGuard {
public:
    explicit CMutexGuard(CMSGMutex* mutex) : m_mutex(mutex)
    {
        if (m_mutex)
            m_mutex->lock();
    }
    ~CMutexGuard()
    {
        if (m_mutex)
            m_mutex->unlock();
    }
    CMutexGuard(const CMutexGuard&) = delete;
    CMutexGuard& operator=(const CMutexGuard&) = delete;

private:
    CMSGMutex* m_mutex;
};

// Base of worker threads: run() is called once on a new thread; the thread ends when it returns.
class CSThread {
public:
    virtual ~CSThread() = default;
    virtual void run() = 0;
};

// Starts worker threads and owns each object until its run has returned.
class CThreadManager {
public:
    CThreadManager() = default;
    virtual ~CThreadManager();
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;

    // Starts the thread and takes ownership of the object.
    void insert(CSThread* thread);
    // Waits for every thread started so far (tests; the program itself never waits).
    void joinAll();
    // Threads whose run has not yet returned.
    int running() const { return m_running.load(); }

private:
    std::mutex m_lock;
    std::vector<std::thread> m_threads;
    std::atomic<int> m_running{0};
};

// Base of the program-wide thread manager.
class CMultiThread : public CThreadManager {
};
