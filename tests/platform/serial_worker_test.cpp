#include "platform/serial_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace tonvela;

namespace {

TEST(SerialWorkerTest, RunsJobsInOrderOffTheCallersThreadAndFinishesThemBeforeItGoes)
{
    std::vector<int> order;
    std::atomic<bool> otherThread{true};
    const auto caller = std::this_thread::get_id();
    {
        SerialWorker worker;
        for (int i = 0; i < 50; ++i)
            worker.post([&, i] {
                if (std::this_thread::get_id() == caller)
                    otherThread = false;
                if (i == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                order.push_back(i);
            });
        worker.flush();
        EXPECT_EQ(order.size(), 50u);
        EXPECT_EQ(worker.pending(), 0);
        worker.post([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            order.push_back(50);
        });
    } // the destructor runs the queued job
    ASSERT_EQ(order.size(), 51u);
    for (int i = 0; i <= 50; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(otherThread);
}

} // namespace
