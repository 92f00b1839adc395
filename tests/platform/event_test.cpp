#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Handoff {
    platform::Event started;
    platform::Event go;
    platform::Event done;
    std::atomic<int> value{0};
};

unsigned Worker(void* raw) {
    auto* h = static_cast<Handoff*>(raw);
    h->started.Set();
    if (h->go.Wait(10000)) {
        h->value = 42;
    }
    h->done.Set();
    return 0;
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    platform::Event e;
    EXPECT_FALSE(e.IsValid());
    EXPECT_FALSE(e.Wait(0));
    ASSERT_TRUE(e.Create());
    EXPECT_FALSE(e.Wait(10));
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_TRUE(e.Wait(0));
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
}

TEST(EventTest, DetachedThreadHandsBackThroughEvents) {
    Handoff h;
    ASSERT_TRUE(h.started.Create() && h.go.Create() && h.done.Create());
    ASSERT_TRUE(platform::StartThread(Worker, &h));
    ASSERT_TRUE(h.started.Wait(10000));
    EXPECT_EQ(h.value.load(), 0);
    h.go.Set();
    ASSERT_TRUE(h.done.Wait(10000));
    EXPECT_EQ(h.value.load(), 42);
}

}  // namespace
