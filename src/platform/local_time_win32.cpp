#include "platform/local_time.h"

std::tm localTime(std::time_t t)
{
    std::tm out{};
    localtime_s(&out, &t);
    return out;
}
