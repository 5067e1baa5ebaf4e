// The thread library's manager: finished threads are joined at the next start, one thread can be
// waited for by its id, and nothing a thread throws ends the process.
#include "platform/ierror.h"
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

class CBody : public CSThread {
  public:
    explicit CBody(std::function<void()> body) : m_body(std::move(body)) {}
    void run() override { m_body(); }

  private:
    std::function<void()> m_body;
};

} // namespace

TEST(ThreadManager, FinishedThreadsAreJoinedAtTheNextStartAndOneCanBeAwaited)
{
    CThreadManager manager;
    for (int k = 0; k < 5; ++k)
        manager.insert(new CBody([] {}));
    while (manager.running() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> release{false};
    const auto id = manager.insert(new CBody([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));
    EXPECT_EQ(manager.held(), 1u) << "the five that ended were joined";
    EXPECT_TRUE(manager.holds(id));
    release = true;
    manager.join(id);
    EXPECT_FALSE(manager.holds(id));
    EXPECT_EQ(manager.running(), 0);
    manager.join(id); // once more: nothing to wait for
}

TEST(ThreadManager, WhatAThreadThrowsIsDroppedAndTheObjectStillGoes)
{
    CThreadManager manager;
    std::atomic<int> destroyed{0};
    struct CCounted : CBody {
        CCounted(std::function<void()> body, std::atomic<int>& count) : CBody(std::move(body)), m_count(count) {}
        ~CCounted() override { ++m_count; }
        std::atomic<int>& m_count;
    };
    manager.insert(new CCounted([] { throw new IError(6, L"link", 1, L"test"); }, destroyed));
    manager.insert(new CCounted([] { throw std::runtime_error("anything else"); }, destroyed));
    manager.joinAll();
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(manager.running(), 0);
    EXPECT_EQ(manager.held(), 0u);
}
