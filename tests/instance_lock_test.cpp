// The single-instance marker: within one process, against another process, and after that
// process is killed.
#include "platform/instance_lock.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Unique per test process, so parallel runs of the suite do not meet.
std::string LockName() { return "Quornfeld.velcaster.test." + std::to_string(getpid()); }

TEST(InstanceLock, SecondCreateInTheSameProcessFindsIt) {
    const std::string name = LockName();
    plat::SetLastError(-1);
    const plat::LockHandle first = plat::CreateNamedLock(name.c_str());
    ASSERT_NE(first, 0u);
    EXPECT_EQ(plat::LastError(), 0);

    const plat::LockHandle second = plat::CreateNamedLock(name.c_str());
    ASSERT_NE(second, 0u);
    EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);

    const plat::LockHandle other = plat::CreateNamedLock((name + ".other").c_str());
    EXPECT_EQ(plat::LastError(), 0) << "names are independent";

    // The name lives on while any handle to it is open.
    EXPECT_TRUE(plat::CloseNamedLock(first));
    const plat::LockHandle third = plat::CreateNamedLock(name.c_str());
    EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);

    EXPECT_TRUE(plat::CloseNamedLock(second));
    EXPECT_TRUE(plat::CloseNamedLock(third));
    EXPECT_TRUE(plat::CloseNamedLock(other));
    EXPECT_FALSE(plat::CloseNamedLock(third)) << "closed twice";

    const plat::LockHandle again = plat::CreateNamedLock(name.c_str());
    ASSERT_NE(again, 0u);
    EXPECT_EQ(plat::LastError(), 0);
    EXPECT_TRUE(plat::CloseNamedLock(again));
}

TEST(InstanceLock, HeldByAnotherProcessUntilItIsKilled) {
    const std::string name = LockName();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60);  // never outlive a parent that failed before killing it
        const plat::LockHandle lock = plat::CreateNamedLock(name.c_str());
        const int error = lock ? plat::LastError() : -1;
        if (write(ready[1], &error, sizeof error) != sizeof error) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    int childError = -2;
    ASSERT_EQ(read(ready[0], &childError, sizeof childError),
              static_cast<ssize_t>(sizeof childError));
    close(ready[0]);
    EXPECT_EQ(childError, 0) << "the child's create was a first";

    const plat::LockHandle whileHeld = plat::CreateNamedLock(name.c_str());
    EXPECT_NE(whileHeld, 0u) << "opens the existing marker";
    EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);
    EXPECT_TRUE(plat::CloseNamedLock(whileHeld));

    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    const plat::LockHandle afterKill = plat::CreateNamedLock(name.c_str());
    ASSERT_NE(afterKill, 0u);
    EXPECT_EQ(plat::LastError(), 0);
    EXPECT_TRUE(plat::CloseNamedLock(afterKill));
}

}  // namespace
