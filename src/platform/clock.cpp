#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace tonvela {

int64_t SteadyClock::nowUs() const
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepUs(int64_t us)
{
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace tonvela
