// The script thread end to end: start-up, signed scripts, operations from
// other threads, timers, shutdown from anywhere, restart cycles.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/read_file.h"
#include "platform/text/utf.h"
#include "script_host/async_script_host.h"
#include "script_host/plugin_object.h"
#include "script_host/script_environment_factories.h"
#include "script_host/script_operation_invoker.h"

namespace Corvane::Script {
namespace {

using namespace std::chrono_literals;

std::wstring read_signed_probe() {
    return rk::text::utf8_to_wide(rk::sys::test::read_file(RK_SIGNED_PROBE_SCRIPT));
}

class AsyncHost : public testing::Test {
protected:
    void Start(bool verify = true, ScriptLimits limits = {}) {
        environment_ = std::make_unique<JS9ScriptEnvironmentFactory>(limits);
        host_ = std::make_unique<CAsyncScriptHost>(*environment_);
        host_->SetSignatureVerification(verify);
        ASSERT_TRUE(host_->Initialize());
    }
    // Calls a global script function and waits for it.
    WaitStatus Call(const std::wstring& function, std::vector<ScriptVariable> args, ScriptVariable& result,
                    std::uint32_t wait_ms = kWaitInfinite) {
        auto invoker = host_->GetInvoker();
        std::shared_ptr<IScriptOperation> op;
        if (!invoker || !invoker->Execute(function, static_cast<std::uint32_t>(args.size()),
                                          args.empty() ? nullptr : args.data(), op)) {
            return WaitStatus::kCancelled;
        }
        return op->Wait(wait_ms, result);
    }
    ScriptVariable Get(const std::wstring& name) {
        ScriptVariable result;
        EXPECT_EQ(Call(L"get", {ScriptVariable(name)}, result), WaitStatus::kSucceeded);
        return result;
    }
    WaitStatus AddScript(const std::wstring& text) {
        ScriptVariable ignored;
        return Call(L"AddScript", {ScriptVariable(text)}, ignored);
    }

    rk::logging::test::ScopedLogCapture capture_;
    std::unique_ptr<IScriptEnvironmentFactory> environment_;
    std::unique_ptr<CAsyncScriptHost> host_;
};

TEST_F(AsyncHost, EveryEnvironmentTypeKeepsItsNumberAndRunsScripts) {
    const std::pair<std::unique_ptr<IScriptEnvironmentFactory>, int> factories[] = {
        {std::make_unique<ScriptEnvironmentFactory>(), 0},
        {std::make_unique<ActiveScriptEnvironmentFactory>(), 1},
        {std::make_unique<JsRTEnvironmentFactory>(), 3},
        {std::make_unique<JS9ScriptEnvironmentFactory>(), 4},
    };
    for (const auto& [factory, type] : factories) {
        EXPECT_EQ(factory->GetType(), type);
        CAsyncScriptHost host(*factory);
        ASSERT_TRUE(host.Initialize()) << type;
        std::shared_ptr<IScriptOperation> op;
        ASSERT_TRUE(host.GetInvoker()->Execute(L"AddScript", ScriptVariable(read_signed_probe()), op));
        ScriptVariable ignored;
        EXPECT_EQ(op->Wait(kWaitInfinite, ignored), WaitStatus::kSucceeded) << type;
    }
}

TEST_F(AsyncHost, SignedScriptsRunAndUnsignedOrTamperedOnesAreRefusedUnrun) {
    Start();
    const std::wstring signed_probe = read_signed_probe();
    ASSERT_FALSE(signed_probe.empty());
    EXPECT_EQ(AddScript(signed_probe), WaitStatus::kSucceeded);
    EXPECT_EQ(Get(L"probe").GetString(), L"ran: object object") << "timer and _scriptHost are globals";

    ScriptVariable cleared;
    Call(L"set", {ScriptVariable(L"probe"), ScriptVariable()}, cleared);
    std::wstring tampered = signed_probe;
    tampered[tampered.find(L"ran")] = L'R';
    const struct {
        std::wstring text;
        const wchar_t* check_log;
    } refused[] = {
        {tampered, L"Signature Verification failed"},
        {L"set('probe', 'unsigned ran');", L"Failed to parse the signature info buffer"},
        {L"set('probe', 'unsigned ran');\r\n//" + std::wstring(128, L'0') + L"++", L"Signature Verification failed"},
    };
    for (const auto& r : refused) {
        capture_.logger().Clear();
        EXPECT_EQ(AddScript(r.text), WaitStatus::kFailed);
        EXPECT_TRUE(Get(L"probe").IsEmpty()) << "nothing of a refused script runs";
        EXPECT_TRUE(capture_.logger().Contains(r.check_log));
        EXPECT_TRUE(capture_.logger().Contains(
            L"Execute(AddScript) with 1 parameters failed: exception is: Error: Signature check for script "
            L"verification failed (thrown from signature_verifying_script_host_base.cpp:"));
    }

    ScriptVariable ignored;
    EXPECT_EQ(Call(L"AddScriptFromFile", {ScriptVariable(rk::text::utf8_to_wide(RK_SIGNED_PROBE_SCRIPT))}, ignored),
              WaitStatus::kSucceeded);
    EXPECT_EQ(Get(L"probe").GetString(), L"ran: object object");
    capture_.logger().Clear();
    EXPECT_EQ(Call(L"AddScriptFromFile", {ScriptVariable(L"/nonexistent/x.js")}, ignored), WaitStatus::kFailed);
    EXPECT_TRUE(capture_.logger().Contains(L"Unable to read file '/nonexistent/x.js'"));
    EXPECT_EQ(Call(L"AddScriptFromFile", {ScriptVariable(L"")}, ignored), WaitStatus::kFailed);
    EXPECT_TRUE(capture_.logger().Contains(L"Empty file name was passed"));
}

TEST_F(AsyncHost, WithVerificationOffAnUnsignedScriptRunsAndScriptErrorsFailOnlyTheirOperation) {
    Start(false);
    EXPECT_EQ(AddScript(L"set('probe', 'unsigned ran');"), WaitStatus::kSucceeded);
    EXPECT_EQ(Get(L"probe").GetString(), L"unsigned ran");
    EXPECT_EQ(AddScript(L"function boom() { throw new Error('kaput'); }"), WaitStatus::kSucceeded);
    ScriptVariable ignored;
    EXPECT_EQ(Call(L"boom", {}, ignored), WaitStatus::kFailed);
    EXPECT_TRUE(capture_.logger().Contains(L"Execute(boom) with 0 parameters failed: exception is: Error: kaput"));
    EXPECT_EQ(Call(L"noSuchFunction", {}, ignored), WaitStatus::kFailed);
    EXPECT_EQ(Get(L"probe").GetString(), L"unsigned ran") << "the thread serves on";
}

// The script's timer object over the dispatcher's timers (whose own test
// holds their order): timeouts fire, an interval stops when cleared.
TEST_F(AsyncHost, ScriptTimersFireAndStopWhenCleared) {
    Start(false);
    ASSERT_EQ(AddScript(L"var order = [], ticks = 0;"
                        L"timer.setTimeout(0, { OnTimeout: function () { order.push('zero'); } });"
                        L"var iv = timer.setInterval(5, { OnTimeout: function () {"
                        L"  order.push('tick'); if (++ticks == 3) timer.clearInterval(iv); } });"
                        L"function result() { return order.join(','); }"),
              WaitStatus::kSucceeded);
    std::wstring order;
    for (int i = 0; i < 500 && order.find(L"tick,tick,tick") == std::wstring::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        ScriptVariable r;
        Call(L"result", {}, r);
        order = r.GetString();
    }
    std::this_thread::sleep_for(30ms);
    ScriptVariable later;
    Call(L"result", {}, later);
    EXPECT_EQ(later.GetString(), L"zero,tick,tick,tick") << "the cleared interval does not come back";

    ScriptVariable r;
    EXPECT_EQ(Call(L"AddScript", {ScriptVariable(L"timer.setTimeout('1', {});")}, r), WaitStatus::kFailed);
    EXPECT_TRUE(capture_.logger().Contains(
        L"Incorrect number of parameters or invalid types. Number of parameters passed: 2"));
}

// Calls Shutdown from inside a script operation.
class Stopper : public PluginObject {
public:
    explicit Stopper(CAsyncScriptHost& host)
        : PluginObject(nullptr, {Method(L"Stop", {}, this, &Stopper::Stop)}), host_(host) {}

private:
    void Stop(ScriptVariable&, std::uint32_t, const ScriptVariable*) { host_.Shutdown(); }
    CAsyncScriptHost& host_;
};

TEST_F(AsyncHost, ShutdownFromInsideAnOperationEndsTheThreadAfterIt) {
    Start(false);
    ScriptVariable ignored;
    ASSERT_EQ(Call(L"set", {ScriptVariable(L"stopper"), ScriptVariable(std::make_shared<Stopper>(*host_))}, ignored),
              WaitStatus::kSucceeded);
    // Queued work after the stop is cancelled and a kept invoker refuses more
    // (ScriptOperationDispatcher.StopCancelsQueuedWorkAndRefusesMore).
    ASSERT_EQ(AddScript(L"function stopNow() { stopper.Stop(); return 'finished'; }"), WaitStatus::kSucceeded);
    ScriptVariable result;
    EXPECT_EQ(Call(L"stopNow", {}, result), WaitStatus::kSucceeded);
    EXPECT_EQ(result.GetString(), L"finished");
    for (int i = 0; i < 200 && host_->IsReady(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(host_->IsReady());
    EXPECT_FALSE(host_->GetInvoker());

    ASSERT_TRUE(host_->Initialize()) << "and the host starts again";
    EXPECT_TRUE(Get(L"stopper").IsEmpty()) << "with a fresh engine";
}

// Destroys the host from inside a script operation.
class Destroyer : public PluginObject {
public:
    explicit Destroyer(std::unique_ptr<CAsyncScriptHost>& host)
        : PluginObject(nullptr, {Method(L"Destroy", {}, this, &Destroyer::Destroy)}), host_(host) {}

private:
    void Destroy(ScriptVariable&, std::uint32_t, const ScriptVariable*) { host_.reset(); }
    std::unique_ptr<CAsyncScriptHost>& host_;
};

TEST_F(AsyncHost, DestroyedFromInsideAnOperationTheThreadFinishesOnItsOwn) {
    Start(false);
    auto destroyer = std::make_shared<Destroyer>(host_);
    const std::weak_ptr<Destroyer> watch = destroyer;
    ScriptVariable ignored;
    ASSERT_EQ(Call(L"set", {ScriptVariable(L"destroyer"), ScriptVariable(std::move(destroyer))}, ignored),
              WaitStatus::kSucceeded);
    ASSERT_EQ(AddScript(L"function destroyNow() { destroyer.Destroy(); return 'done'; }"), WaitStatus::kSucceeded);
    auto invoker = host_->GetInvoker();
    std::shared_ptr<IScriptOperation> op;
    ASSERT_TRUE(invoker->Execute(L"destroyNow", op));
    ScriptVariable result;
    EXPECT_EQ(op->Wait(kWaitInfinite, result), WaitStatus::kSucceeded);
    EXPECT_EQ(result.GetString(), L"done");
    // The plug-in dies with the engine, at the end of the thread.
    for (int i = 0; i < 400 && !watch.expired(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(host_);
    EXPECT_FALSE(invoker->Post(L"get"));
    EXPECT_TRUE(capture_.logger().Contains(
        L"Script host destroyed on its own script thread; the thread finishes on its own"));
}

TEST_F(AsyncHost, StartAndStopAThousandTimes) {
    Start(true);
    for (int i = 0; i < 1000; ++i) {
        host_->Shutdown();
        ASSERT_FALSE(host_->GetInvoker());
        ASSERT_TRUE(host_->Initialize()) << i;
        if (i % 250 == 0) {
            EXPECT_EQ(AddScript(read_signed_probe()), WaitStatus::kSucceeded);
        }
    }
    EXPECT_EQ(AddScript(read_signed_probe()), WaitStatus::kSucceeded);
    EXPECT_EQ(Get(L"probe").GetString(), L"ran: object object");
}

TEST_F(AsyncHost, AScriptObjectKeptByNativeCodeFailsCleanlyAfterShutdown) {
    Start(false);
    ASSERT_EQ(AddScript(L"var holder = { f: function () { return 5; } };"), WaitStatus::kSucceeded);
    ScriptVariable holder = Get(L"holder");
    ASSERT_EQ(holder.GetType(), ScriptVariableType::kObject);
    ScriptVariable result;
    std::shared_ptr<IScriptOperation> op;
    ASSERT_TRUE(holder.GetInvoker()->Execute(L"f", op));
    EXPECT_EQ(op->Wait(kWaitInfinite, result), WaitStatus::kSucceeded);
    EXPECT_EQ(result.GetInt(), 5u);
    EXPECT_THROW(holder.GetObject()->Execute(L"f", result, 0, nullptr), std::runtime_error)
        << "only on its script thread";

    host_->Shutdown();
    EXPECT_FALSE(holder.GetInvoker()->Execute(L"f", op));
    try {
        holder.GetObject()->Execute(L"f", result, 0, nullptr);
        ADD_FAILURE() << "the engine is gone";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Object has been garbage collected by the JavaScript runtime");
    }
}

}  // namespace
}  // namespace Corvane::Script
