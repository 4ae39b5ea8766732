// The file lock and the atomic writer: the two guarantees that the device
// database and the registry hives rely on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/test_seams.h"
#include "support/run_unprivileged.h"
#include "support/temp_dir.h"

using namespace dravik::platform;
using dravik::test::TempDir;

TEST(FileLock, ExcludesAnotherProcessUntilReleased) {
    TempDir dir;
    std::string key = dir.File("ASPIDEV.DDB");
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        FileLock lock(key);
        char c;
        if (!lock.Acquire()) _exit(10);
        if (write(toParent[1], "L", 1) != 1) _exit(11);  // holding
        if (read(toChild[0], &c, 1) != 1) _exit(12);      // wait for the parent's check
        lock.Release();
        if (write(toParent[1], "R", 1) != 1) _exit(13);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, 'L');
    FileLock mine(key);
    EXPECT_FALSE(mine.TryAcquireFor(100)) << "the other process holds the lock";
    ASSERT_EQ(write(toChild[1], "go", 1), 1);
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    EXPECT_TRUE(mine.TryAcquireFor(5000));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(FileLock, ExcludesAnotherThreadAndDiffersByKey) {
    TempDir dir;
    FileLock a(dir.File("one")), b(dir.File("one")), other(dir.File("two"));
    ASSERT_TRUE(a.Acquire());
    EXPECT_TRUE(other.TryAcquireFor(0));
    std::atomic<bool> got{false};
    std::thread t([&] { got = b.Acquire(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got.load());
    a.Release();
    t.join();
    EXPECT_TRUE(got.load());
}

TEST(AtomicFile, ReplacesContentAndKeepsPermissions) {
    TempDir dir;
    std::string p = dir.Write("db", "old content");
    chmod(p.c_str(), 0640);
    ASSERT_EQ(WriteFileAtomically(p, "new"), 0);
    EXPECT_EQ(dir.Read("db"), "new");
    struct stat st {};
    ASSERT_EQ(stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, AFailureAtAnyStageLeavesTheOldFileWhole) {
    for (const char* stage : {"write", "sync", "rename"}) {
        TempDir dir;
        std::string p = dir.Write("db", "precious");
        test_seams::SetWriteFaultHook([&](std::string_view s) { return s == stage ? ENOSPC : 0; });
        EXPECT_EQ(WriteFileAtomically(p, "replacement", dir.File("db.$$$")), ENOSPC) << stage;
        test_seams::SetWriteFaultHook(nullptr);
        EXPECT_EQ(dir.Read("db"), "precious") << stage;
        EXPECT_NE(access(dir.File("db.$$$").c_str(), F_OK), 0) << "temporary left behind at " << stage;
    }
}

TEST(AtomicFile, UnwritableFolderFailsWithoutTouchingTheFile) {
    TempDir dir;
    std::string p = dir.Write("db", "precious");
    dravik::test::OpenToEveryone(dir.path());
    chmod(p.c_str(), 0666);  // the file itself is writable: only the folder is not
    chmod(dir.path().c_str(), 0555);
    int failed = dravik::test::RunUnprivileged([&] {
        if (WriteFileAtomically(p, "x") != EACCES) return 1;
        return 0;
    });
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(dir.Read("db"), "precious");
}
