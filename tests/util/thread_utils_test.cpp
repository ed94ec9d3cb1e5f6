#include "util/lin/ThreadUtils.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <thread>

using corvane::ThreadUtils;

TEST(ThreadUtils, IdsAreStablePerThreadAndDistinctAcrossThreads) {
    const int64_t mine = ThreadUtils::get_current_thread_id_as_int();
    EXPECT_EQ(mine, ThreadUtils::get_current_thread_id_as_int());
    EXPECT_EQ(mine, ThreadUtils::get_thread_id_as_int(std::this_thread::get_id()));
    EXPECT_NE(mine, 0);

    int64_t other = 0;
    std::thread([&] { other = ThreadUtils::get_current_thread_id_as_int(); }).join();
    EXPECT_NE(other, mine);
    EXPECT_NE(other, 0);
}

TEST(ThreadUtils, NamesTheCallingThread) {
    std::string name;
    std::thread([&] {
        pthread_setname_np(pthread_self(), "short_name");
        name = ThreadUtils::get_current_thread_name();
    }).join();
    EXPECT_EQ(name, "short_name");
}
