#include "platform/system/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/system/root_prefix.h"
#include "platform/system/test/temp_root.h"

namespace rk::sys {
namespace {

namespace fs = std::filesystem;

// Long enough to never fire on a loaded machine when a wait must succeed.
constexpr DWORD kGenerous = 10000;

// A child process that opens a mutex (and owns it, when asked), reports the
// results, then releases it on command and otherwise lives until killed.
class Child {
public:
    Child(const std::wstring& name, bool own) {
        int up[2];
        int down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) {
            return;
        }
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(up[0]);
            ::close(down[1]);
            run(name, own, down[0], up[1]);
        }
        pid_ = pid;
        ::close(up[1]);
        ::close(down[0]);
        from_child_ = up[0];
        to_child_ = down[1];
        create_error_ = receive();
        wait_result_ = receive();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        kill();
        ::close(from_child_);
        ::close(to_child_);
    }

    DWORD create_error() const { return create_error_; }
    DWORD wait_result() const { return wait_result_; }

    DWORD release() {
        const char command = 'r';
        if (::write(to_child_, &command, 1) != 1) {
            return win::kWaitFailed;
        }
        return receive();
    }

    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    [[noreturn]] static void run(const std::wstring& name, bool own, int in, int out) {
        auto created = NamedMutex::create(name);
        DWORD waited = win::kWaitFailed;
        if (created.mutex && own) {
            waited = created.mutex->wait(win::kInfinite);
        }
        send(out, created.error);
        send(out, waited);
        char command;
        while (::read(in, &command, 1) == 1) {
            send(out, created.mutex ? created.mutex->release() : win::kErrorInvalidHandle);
        }
        ::_exit(0);
    }

    static void send(int fd, DWORD value) {
        if (::write(fd, &value, sizeof value) != sizeof value) {
            ::_exit(1);
        }
    }

    DWORD receive() const {
        DWORD value = win::kWaitFailed;
        if (::read(from_child_, &value, sizeof value) != sizeof value) {
            return win::kWaitFailed;
        }
        return value;
    }

    pid_t pid_ = -1;
    int from_child_ = -1;
    int to_child_ = -1;
    DWORD create_error_ = win::kWaitFailed;
    DWORD wait_result_ = win::kWaitFailed;
};

class NamedMutexTest : public testing::Test {
protected:
    test::TempRoot root_;
};

TEST_F(NamedMutexTest, SecondInstanceSeesAlreadyExistsWhileTheFirstLives) {
    Child first(L"RkUpdaterModuleMutex", false);
    ASSERT_EQ(first.create_error(), win::kErrorSuccess);

    auto second = NamedMutex::create(L"RkUpdaterModuleMutex");
    ASSERT_TRUE(second.mutex);
    EXPECT_EQ(second.error, win::kErrorAlreadyExists);
    second.mutex.reset();

    // The files stay behind; a dead creator must not count.
    first.kill();
    auto third = NamedMutex::create(L"RkUpdaterModuleMutex");
    ASSERT_TRUE(third.mutex);
    EXPECT_EQ(third.error, win::kErrorSuccess);
    // Nobody owned it, so the first owner is not told "abandoned".
    EXPECT_EQ(third.mutex->wait(0), win::kWaitObject0);
}

TEST_F(NamedMutexTest, OwnerDeathAbandonsTheMutex) {
    // Machine-wide mutexes and session ones are built differently.
    for (const wchar_t* name : {L"Global\\Corvane.{0696D115-BE52-46c3-BFEE-D73A305B6581}", L"Local\\log-owner"}) {
        SCOPED_TRACE(fs::path(name));
        Child owner(name, true);
        ASSERT_EQ(owner.wait_result(), win::kWaitObject0);
        auto mine = NamedMutex::create(name);
        ASSERT_TRUE(mine.mutex);
        EXPECT_EQ(mine.error, win::kErrorAlreadyExists);
        EXPECT_EQ(mine.mutex->wait(0), win::kWaitTimeout);
        EXPECT_EQ(mine.mutex->wait(30), win::kWaitTimeout);

        owner.kill();
        EXPECT_EQ(mine.mutex->wait(kGenerous), win::kWaitAbandoned);
        EXPECT_EQ(mine.mutex->release(), win::kErrorSuccess);
        // A proper release leaves nothing to report.
        EXPECT_EQ(mine.mutex->wait(0), win::kWaitObject0);
        EXPECT_EQ(mine.mutex->release(), win::kErrorSuccess);
    }
}

TEST_F(NamedMutexTest, ReleaseByAnotherProcessWakesATimedWait) {
    Child owner(L"log.txt-mutex", true);
    ASSERT_EQ(owner.wait_result(), win::kWaitObject0);
    auto mine = NamedMutex::create(L"log.txt-mutex");
    ASSERT_TRUE(mine.mutex);

    std::atomic<DWORD> result{win::kWaitFailed};
    std::thread waiter([&] {
        result = mine.mutex->wait(kGenerous);
        mine.mutex->release();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(owner.release(), win::kErrorSuccess);
    waiter.join();
    EXPECT_EQ(result.load(), win::kWaitObject0);
}

TEST_F(NamedMutexTest, TwoHandlesInOneProcessExcludeEachOther) {
    auto a = NamedMutex::create(L"Local\\shared");
    auto b = NamedMutex::create(L"Local\\shared");
    ASSERT_TRUE(a.mutex && b.mutex);
    EXPECT_EQ(a.error, win::kErrorSuccess);
    EXPECT_EQ(b.error, win::kErrorAlreadyExists);
    EXPECT_EQ(a.mutex->wait(0), win::kWaitObject0);
    EXPECT_EQ(b.mutex->wait(0), win::kWaitTimeout);
    EXPECT_EQ(b.mutex->release(), win::kErrorNotOwner);
    EXPECT_EQ(a.mutex->release(), win::kErrorSuccess);
    EXPECT_EQ(b.mutex->wait(0), win::kWaitObject0);

    // Closing an owning handle abandons the mutex for the next owner.
    b.mutex.reset();
    EXPECT_EQ(a.mutex->wait(0), win::kWaitAbandoned);
}

TEST_F(NamedMutexTest, OwnershipBelongsToAThreadAndIsRecursive) {
    auto created = NamedMutex::create(L"threads");
    NamedMutex& m = *created.mutex;
    EXPECT_EQ(m.wait(0), win::kWaitObject0);
    EXPECT_EQ(m.wait(0), win::kWaitObject0);

    DWORD other_wait = win::kWaitFailed;
    DWORD other_release = win::kWaitFailed;
    std::thread([&] {
        other_wait = m.wait(20);
        other_release = m.release();
    }).join();
    EXPECT_EQ(other_wait, win::kWaitTimeout);
    EXPECT_EQ(other_release, win::kErrorNotOwner);

    EXPECT_EQ(m.release(), win::kErrorSuccess);
    std::thread([&] { other_wait = m.wait(0); }).join();
    EXPECT_EQ(other_wait, win::kWaitTimeout);  // still held once
    EXPECT_EQ(m.release(), win::kErrorSuccess);
    EXPECT_EQ(m.release(), win::kErrorNotOwner);

    std::thread([&] {
        other_wait = m.wait(kGenerous);
        other_release = m.release();
    }).join();
    EXPECT_EQ(other_wait, win::kWaitObject0);
    EXPECT_EQ(other_release, win::kErrorSuccess);
}

TEST_F(NamedMutexTest, PrefixesChooseTheScope) {
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        DWORD second_error;
    };
    const Case cases[] = {
        {L"Name", L"Local\\Name", win::kErrorAlreadyExists},
        {L"Global\\Name", L"global\\Name", win::kErrorAlreadyExists},
        {L"Global\\Name", L"Name", win::kErrorSuccess},
        {L"Name", L"name", win::kErrorSuccess},  // names are case-sensitive
        {L"a\\b", L"a/b", win::kErrorSuccess},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << fs::path(c.first) << " then " << fs::path(c.second));
        auto first = NamedMutex::create(c.first);
        auto second = NamedMutex::create(c.second);
        ASSERT_TRUE(first.mutex && second.mutex);
        EXPECT_EQ(first.error, win::kErrorSuccess);
        EXPECT_EQ(second.error, c.second_error);
    }
    EXPECT_TRUE(fs::exists(machine_runtime_dir() / "mutex" / "Name.lock"));
    EXPECT_TRUE(fs::exists(session_runtime_dir() / "mutex" / "Name.lock"));
    EXPECT_EQ(session_runtime_dir().native().rfind(root_.path().native(), 0), 0u);
}

TEST_F(NamedMutexTest, BadNamesFail) {
    EXPECT_EQ(NamedMutex::create(L"").error, win::kErrorInvalidName);
    EXPECT_EQ(NamedMutex::create(L"Global\\").error, win::kErrorInvalidName);
    auto too_long = NamedMutex::create(std::wstring(250, L'x'));
    EXPECT_FALSE(too_long.mutex);
    EXPECT_EQ(too_long.error, win::kErrorFilenameExcedRange);
    EXPECT_TRUE(NamedMutex::create(std::wstring(240, L'x')).mutex);
}

TEST(NamedMutexFileStem, NamesBecomeSafeDistinctFileNames) {
    struct Case {
        const wchar_t* name;
        const char* stem;
    };
    const Case cases[] = {
        {L"RkUpdaterModuleMutex", "RkUpdaterModuleMutex"},
        {L"a\\b", "a%5Cb"},
        {L"..\\..\\etc/passwd", "..%5C..%5Cetc%2Fpasswd"},
        {L"Corvane.{06}", "Corvane.%7B06%7D"},
        {L"50%", "50%25"},
        {L"a%5Cb", "a%255Cb"},
        {L"caf\u00e9 x", "caf%C3%A9%20x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mutex_file_stem(c.name), c.stem);
    }
}

}  // namespace
}  // namespace rk::sys
