// Makes writes beyond a file size fail, as on a full disk, while the object lives (the signal
// that the limit raises is ignored, so the write just fails). Windows has no per-process limit
// on file size: there the object does nothing and supported() says so, for the test to skip.
#pragma once

#ifdef _WIN32

#include <cstdint>

class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(std::uint64_t) {}
    static bool supported() { return false; }
};

#else

#include <csignal>
#include <sys/resource.h>

class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    static bool supported() { return true; }

  private:
    void (*m_handler)(int);
    rlimit m_previous{};
};

#endif
