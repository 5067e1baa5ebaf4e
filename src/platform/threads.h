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

// Starts worker threads and owns each object until its run has returned. Finished threads are
// joined at the next start, so a program that reconnects all day does not collect them.
class CThreadManager {
public:
    using ThreadId = unsigned long;

    CThreadManager() = default;
    virtual ~CThreadManager();
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;

    // Starts the thread and takes ownership of the object; the answer names it for join().
    ThreadId insert(CSThread* thread);
    // Waits for one thread (at once when it has ended or was joined already).
    void join(ThreadId id);
    // Whether the thread is still held (running, or ended and not yet joined).
    bool holds(ThreadId id);
    // Joins every thread that has ended.
    void joinFinished();
    // Waits for every thread started so far.
    void joinAll();
    // Threads whose run has not yet returned.
    int running() const { return m_running.load(); }
    // Threads started and not yet joined.
    size_t held();

private:
    struct Entry {
        ThreadId id;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    static void runGuarded(CSThread& thread);

    std::mutex m_lock;
    std::vector<Entry> m_threads;
    ThreadId m_lastId = 0;
    std::atomic<int> m_running{0};
};

// Base of the program-wide thread manager.
class CMultiThread : public CThreadManager {
};
