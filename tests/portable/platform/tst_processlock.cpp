// The promises of the lock between processes, the same on every system.
#include "childprocess.h"
#include "platform/processlock.h"
#include "testtree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using platform::ProcessLock;

namespace {

// Waits for a file a child process makes; the bound only keeps a broken child from hanging
// the test.
bool appears(const std::filesystem::path& file) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(file)) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

TEST(ProcessLock, TwoObjectsExcludeEachOtherAndTheFileGoesWithTheLastHolder) {
    TestTree tree("processlock");
    const std::filesystem::path file = tree.path("one.lock");
    ProcessLock first(file);
    ProcessLock second(file);
    ASSERT_EQ(first.tryLock(), ProcessLock::Result::Locked);
    EXPECT_TRUE(first.isLocked());
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(second.tryLock(), ProcessLock::Result::HeldElsewhere);
    EXPECT_FALSE(second.isLocked());
    EXPECT_EQ(first.tryLock(), ProcessLock::Result::Locked); // holding it already

    first.unlock();
    EXPECT_FALSE(first.isLocked());
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(second.tryLock(), ProcessLock::Result::Locked);
    // A holder that let go does not take the file away from the next one.
    first.unlock();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(first.tryLock(), ProcessLock::Result::HeldElsewhere);
    second.unlock();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ProcessLock, LockGoesWithTheObject) {
    TestTree tree("processlock");
    const std::filesystem::path file = tree.path("scoped.lock");
    {
        ProcessLock scoped(file);
        ASSERT_EQ(scoped.tryLock(), ProcessLock::Result::Locked);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    ProcessLock next(file);
    EXPECT_EQ(next.tryLock(), ProcessLock::Result::Locked);
}

TEST(ProcessLock, WhatTheHolderPublishesOthersRead) {
    TestTree tree("processlock");
    const std::filesystem::path file = tree.path("said.lock");
    ProcessLock holder(file);
    ProcessLock other(file);
    EXPECT_TRUE(other.published().empty());
    EXPECT_FALSE(holder.publish("not yet the holder"));
    ASSERT_EQ(holder.tryLock(), ProcessLock::Result::Locked);
    EXPECT_TRUE(other.published().empty());
    EXPECT_TRUE(holder.publish("a rather long name of where the holder listens"));
    EXPECT_TRUE(holder.publish("short name"));
    EXPECT_EQ(other.published(), "short name");
    EXPECT_FALSE(other.publish("not the holder"));
    // Reading what is published takes nothing from the holder, and leaves the lock to it.
    EXPECT_EQ(other.tryLock(), ProcessLock::Result::HeldElsewhere);
    holder.unlock();
    EXPECT_TRUE(other.published().empty());
    EXPECT_EQ(other.tryLock(), ProcessLock::Result::Locked);
}

TEST(ProcessLock, AFolderInTheWayFails) {
    TestTree tree("processlock");
    ProcessLock lock(tree.makeFolder("folder.lock"));
    EXPECT_EQ(lock.tryLock(), ProcessLock::Result::Failed);
    EXPECT_FALSE(lock.isLocked());
    ProcessLock nowhere(tree.path("missing/folder/x.lock"));
    EXPECT_EQ(nowhere.tryLock(), ProcessLock::Result::Failed);
}

TEST(ProcessLock, AKilledHolderBlocksNobody) {
    TestTree tree("processlock");
    const std::filesystem::path file = tree.path("killed.lock");
    const std::filesystem::path ready = tree.path("ready");
    ChildProcess holder(std::filesystem::path(QUORALIS_LOCK_HOLDER),
                        {TestTree::utf8(file), "the child's name", TestTree::utf8(ready)});
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(appears(ready));

    ProcessLock next(file);
    EXPECT_EQ(next.tryLock(), ProcessLock::Result::HeldElsewhere);
    EXPECT_EQ(next.published(), "the child's name");
    holder.kill();
    EXPECT_EQ(next.tryLock(), ProcessLock::Result::Locked);
    EXPECT_TRUE(next.publish("mine"));
    EXPECT_EQ(ProcessLock(file).published(), "mine");
}
