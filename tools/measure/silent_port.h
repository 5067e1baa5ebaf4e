// A pseudo-terminal whose far end is held open and never answers: a port without a controller,
// as a built-in UART is. It counts what it was sent.
#pragma once

#include <array>
#include <cstddef>
#include <pty.h>
#include <string>
#include <sys/select.h>
#include <unistd.h>

struct SilentPort {
    SilentPort()
    {
        std::array<char, 256> name{};
        if (::openpty(&master, &slave, name.data(), nullptr, nullptr) == 0)
            path = name.data();
    }
    ~SilentPort()
    {
        ::close(slave);
        ::close(master);
    }
    // Identification requests received so far (14 bytes each).
    size_t requests()
    {
        std::array<char, 4096> scrap{};
        for (;;) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(master, &set);
            timeval none{0, 0};
            if (::select(master + 1, &set, nullptr, nullptr, &none) <= 0)
                break;
            const ssize_t n = ::read(master, scrap.data(), scrap.size());
            if (n <= 0)
                break;
            received += static_cast<size_t>(n);
        }
        return received / 14;
    }
    int master = -1;
    int slave = -1;
    size_t received = 0;
    std::string path;
};
