#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/logging/test/scoped_process_logger.h"
#include "script_host/script_operation.h"
#include "script_host/script_operation_dispatcher.h"
#include "script_host/script_operation_invoker.h"

namespace Corvane::Script {
namespace {

using namespace std::chrono_literals;

// A native object whose "Run" does what the test asks.
class Probe : public IScriptableObject {
public:
    std::function<bool(ScriptVariable&, std::uint32_t, const ScriptVariable*)> run;
    std::vector<std::wstring> calls;
    std::mutex mutex;

    bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                 const ScriptVariable* args) override {
        {
            std::lock_guard lock(mutex);
            calls.push_back(method + (count > 0 ? L":" + args[0].GetString() : L""));
        }
        return run ? run(result, count, args) : true;
    }
    std::shared_ptr<IPluginObjectWrapperImpl> GetWrapper() override { return nullptr; }
    std::wstring GetName() override { return L"probe"; }
    std::wstring GetVersion() override { return L"1"; }
};

TEST(ScriptOperation, StatesAndWaitStatuses) {
    rk::logging::test::ScopedLogCapture capture;
    const std::vector<ScriptVariable> two = {ScriptVariable(L"a"), ScriptVariable(std::uint32_t{2})};
    const struct {
        const char* name;
        std::function<bool(ScriptVariable&, std::uint32_t, const ScriptVariable*)> run;  // null target when empty
        bool cancel_first;
        WaitStatus status;
        const wchar_t* log;
    } cases[] = {
        {"succeeds", [](ScriptVariable& r, auto, auto) { r = ScriptVariable(L"ok"); return true; }, false,
         WaitStatus::kSucceeded, nullptr},
        {"returns false", [](auto&, auto, auto) { return false; }, false, WaitStatus::kFailed, nullptr},
        {"throws runtime_error", [](auto&, auto, auto) -> bool { throw std::runtime_error("Error: boom"); }, false,
         WaitStatus::kFailed, L"Execute(Run) with 2 parameters failed: exception is: Error: boom"},
        {"throws logic_error", [](auto&, auto, auto) -> bool { throw std::logic_error("misuse"); }, false,
         WaitStatus::kFailed, L"Execute(Run) with 2 parameters failed: unspecified exception was caught"},
        {"throws a non-exception", [](auto&, auto, auto) -> bool { throw 7; }, false, WaitStatus::kFailed,
         L"Execute(Run) with 2 parameters failed: unspecified exception was caught"},
        {"null target", nullptr, false, WaitStatus::kFailed,
         L"Scriptable Execute(Run) with 2 parameters failed: object is null"},
        {"cancelled before it ran", [](auto&, auto, auto) { return true; }, true, WaitStatus::kCancelled, nullptr},
    };
    for (const auto& c : cases) {
        capture.logger().Clear();
        std::shared_ptr<Probe> probe;
        if (c.run) {
            probe = std::make_shared<Probe>();
            probe->run = c.run;
        }
        CScriptOperation op(probe, L"Run", 2, two.data(), nullptr);
        ScriptVariable result(L"untouched");
        EXPECT_EQ(op.Wait(0, result), WaitStatus::kTimeout) << c.name;
        if (c.cancel_first) {
            EXPECT_TRUE(op.Cancel());
            EXPECT_FALSE(op.Execute()) << c.name << ": a cancelled operation never runs";
            EXPECT_TRUE(!probe || probe->calls.empty()) << c.name;
        } else {
            EXPECT_EQ(op.Execute(), c.status == WaitStatus::kSucceeded) << c.name;
            EXPECT_FALSE(op.Execute()) << c.name << ": runs once";
            op.Cancel();
            EXPECT_EQ(op.GetState(), CScriptOperation::kDone) << c.name << ": a finished operation stays finished";
        }
        EXPECT_EQ(op.Wait(kWaitInfinite, result), c.status) << c.name;
        EXPECT_EQ(result.GetString(), c.status == WaitStatus::kSucceeded ? L"ok" : L"untouched") << c.name;
        if (c.log != nullptr) {
            EXPECT_TRUE(capture.logger().Contains(c.log)) << c.name;
        } else {
            EXPECT_TRUE(capture.logger().Messages().empty()) << c.name;
        }
    }
}

// A dispatcher served by its own thread, as a script thread does.
class DispatcherThread {
public:
    DispatcherThread() {
        std::promise<std::shared_ptr<CScriptOperationDispatcher>> made;
        thread_ = std::thread([this, &made] {
            auto d = std::make_shared<CScriptOperationDispatcher>();
            made.set_value(d);
            d->Run(stop_);
        });
        dispatcher = made.get_future().get();
    }
    ~DispatcherThread() { Stop(); }
    void SignalStop() { stop_.set(); }
    void Stop() {
        stop_.set();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    std::shared_ptr<CScriptOperationDispatcher> dispatcher;

private:
    rk::sys::WaitableEvent stop_{true, false};
    std::thread thread_;
};

TEST(ScriptOperationDispatcher, ExecuteRunsAtOnceOnlyOnTheDispatchThread) {
    DispatcherThread t;
    auto probe = std::make_shared<Probe>();
    std::promise<void> release;
    auto released = release.get_future().share();
    std::atomic<bool> block{true};
    probe->run = [released, &block](auto&, auto, auto) {
        if (block.exchange(false)) {
            released.wait();
        }
        return true;
    };
    CScriptOperationInvoker invoker(probe, t.dispatcher);

    std::shared_ptr<IScriptOperation> blocker;
    ASSERT_TRUE(invoker.Execute(L"Block", blocker));
    std::shared_ptr<IScriptOperation> queued;
    ASSERT_TRUE(invoker.Execute(L"Queued", queued));
    ScriptVariable r;
    EXPECT_EQ(queued->Wait(0, r), WaitStatus::kTimeout) << "from another thread the call is queued";
    EXPECT_EQ(queued->Wait(20, r), WaitStatus::kTimeout) << "the script thread is busy";

    // From the dispatch thread (inside a task) the same call finishes before Execute returns.
    std::promise<CScriptOperation::State> inner_state;
    release.set_value();
    ASSERT_TRUE(t.dispatcher->PostTask([&] {
        std::shared_ptr<IScriptOperation> op;
        invoker.Execute(L"Inline", op);
        inner_state.set_value(std::static_pointer_cast<CScriptOperation>(op)->GetState());
    }));
    EXPECT_EQ(inner_state.get_future().get(), CScriptOperation::kDone);
    EXPECT_EQ(queued->Wait(kWaitInfinite, r), WaitStatus::kSucceeded);
    EXPECT_EQ(probe->calls, (std::vector<std::wstring>{L"Block", L"Queued", L"Inline"}));
}

TEST(ScriptOperationDispatcher, StopCancelsQueuedWorkAndRefusesMore) {
    auto t = std::make_unique<DispatcherThread>();
    auto probe = std::make_shared<Probe>();
    std::promise<void> entered, release;
    auto released = release.get_future().share();
    std::atomic<bool> block{true};
    probe->run = [&entered, &block, released](auto&, auto, auto) {
        if (block.exchange(false)) {
            entered.set_value();
            released.wait();
        }
        return true;
    };
    CScriptOperationInvoker invoker(probe, t->dispatcher);
    std::shared_ptr<IScriptOperation> running, queued;
    ASSERT_TRUE(invoker.Execute(L"Running", running));
    entered.get_future().wait();
    ASSERT_TRUE(invoker.Execute(L"Queued", queued));

    t->SignalStop();  // seen once the running operation returns, before the queued one is taken
    release.set_value();
    t->Stop();
    ScriptVariable r;
    EXPECT_EQ(running->Wait(kWaitInfinite, r), WaitStatus::kSucceeded) << "the current operation finishes";
    EXPECT_EQ(queued->Wait(kWaitInfinite, r), WaitStatus::kCancelled);
    std::shared_ptr<IScriptOperation> late;
    EXPECT_FALSE(invoker.Execute(L"Late", late));
    EXPECT_FALSE(late);
    EXPECT_FALSE(invoker.Post(L"Late"));
    EXPECT_EQ(probe->calls, std::vector<std::wstring>{L"Running"});
}

TEST(ScriptOperationDispatcher, ManyThreadsPostingAtOnceKeepEachThreadsOrder) {
    DispatcherThread t;
    auto probe = std::make_shared<Probe>();
    CScriptOperationInvoker invoker(probe, t.dispatcher);
    constexpr int kThreads = 8, kEach = 500;
    std::vector<std::thread> posters;
    for (int n = 0; n < kThreads; ++n) {
        posters.emplace_back([&, n] {
            for (int i = 0; i < kEach; ++i) {
                invoker.Post(L"P", ScriptVariable(std::to_wstring(n) + L"." + std::to_wstring(i)));
            }
        });
    }
    for (auto& p : posters) {
        p.join();
    }
    std::shared_ptr<IScriptOperation> last;
    ASSERT_TRUE(invoker.Execute(L"Last", last));
    ScriptVariable r;
    ASSERT_EQ(last->Wait(kWaitInfinite, r), WaitStatus::kSucceeded);
    ASSERT_EQ(probe->calls.size(), std::size_t{kThreads * kEach + 1});
    std::vector<int> next(kThreads, 0);
    for (std::size_t k = 0; k + 1 < probe->calls.size(); ++k) {
        const std::wstring& c = probe->calls[k];
        const int n = std::stoi(c.substr(2, c.find(L'.') - 2));
        EXPECT_EQ(std::stoi(c.substr(c.find(L'.') + 1)), next[n]++);
    }
}

TEST(ScriptOperationDispatcher, TimersRunEarliestFirstOnTheDispatchThreadAfterTheCurrentOperation) {
    DispatcherThread t;
    std::vector<std::string> order;  // written on the dispatch thread only
    std::promise<void> done;
    auto& timers = t.dispatcher->Timers();
    const auto record = [&](std::string name) {
        return [&, name](std::uint32_t) {
            EXPECT_TRUE(t.dispatcher->IsDispatchThread());
            order.push_back(name);
            if (name == "40ms") {
                done.set_value();
            }
        };
    };
    ASSERT_TRUE(t.dispatcher->PostTask([&] {
        timers.Add(40ms, false, record("40ms"));
        timers.Add(10ms, false, record("10ms"));
        const auto cancelled = timers.Add(5ms, false, record("cancelled"));
        timers.Add(0ms, false, record("0ms-a"));
        timers.Add(0ms, false, record("0ms-b"));
        timers.Add(15ms, true, record("every15"));
        timers.Remove(cancelled);
        order.push_back("task end");
    }));
    done.get_future().wait();
    t.Stop();  // no more timers: `order` is ours now
    ASSERT_GE(order.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 3),
              (std::vector<std::string>{"task end", "0ms-a", "0ms-b"}));
    EXPECT_LT(std::find(order.begin(), order.end(), "10ms"), std::find(order.begin(), order.end(), "40ms"));
    EXPECT_GE(std::count(order.begin(), order.end(), "every15"), 1) << "due at 15 and 30 ms";
    EXPECT_EQ(std::count(order.begin(), order.end(), "cancelled"), 0);
}

}  // namespace
}  // namespace Corvane::Script
