// The Duktape host under faults: script errors, runaway loops, unbounded
// allocation, deep recursion (in scripts and through native calls), huge
// strings and engine fatal errors. Verification is off: these scripts are
// unsigned (the signature gate has its own tests).
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "duktape.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/text/utf.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_script_host.h"
#include "script_host/plugin_object.h"
#include "script_host/script_operation_invoker.h"

namespace Corvane::Script::duktape {
namespace {

using namespace std::chrono_literals;

class FaultPlugin : public PluginObject {
public:
    explicit FaultPlugin(DuktapeScriptHost& host)
        : PluginObject(nullptr, {Method(L"Sleep", {kArgInteger}, this, &FaultPlugin::Sleep),
                                 Method(L"Huge", {kArgInteger}, this, &FaultPlugin::Huge),
                                 Method(L"Reenter", {kArgString}, this, &FaultPlugin::Reenter)}),
          host_(host) {}

private:
    void Sleep(ScriptVariable&, std::uint32_t, const ScriptVariable* args) {
        std::this_thread::sleep_for(std::chrono::milliseconds(args[0].GetInt()));
    }
    void Huge(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
        result = ScriptVariable(std::wstring(args[0].GetInt(), L'x'));
    }
    // Calls a global script function from native code on the script thread.
    void Reenter(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) {
        auto invoker = std::static_pointer_cast<CScriptOperationInvoker>(host_.GetInvoker());
        invoker->GetTarget()->Execute(args[0].GetString(), result, 0, nullptr);
    }
    DuktapeScriptHost& host_;
};

class DuktapeFaults : public testing::Test {
protected:
    void Start(ScriptLimits limits) {
        host_ = std::make_unique<DuktapeScriptHost>(limits);
        ASSERT_TRUE(host_->Initialize());
        host_->SetNamedObject(L"native", std::make_shared<FaultPlugin>(*host_));
    }
    // Runs a script; the error text, or "" when it succeeded.
    std::string Run(const std::wstring& script) {
        try {
            host_->AddVerifiedScript(script, L"test.js");
            return "";
        } catch (const std::runtime_error& e) {
            return e.what();
        }
    }
    ScriptVariable Get(const std::wstring& name) {
        std::shared_ptr<IScriptOperation> op;
        host_->GetInvoker()->Execute(L"get", ScriptVariable(name), op);
        ScriptVariable result;
        op->Wait(0, result);
        return result;
    }

    rk::logging::test::ScopedLogCapture capture_;
    std::unique_ptr<DuktapeScriptHost> host_;
};

TEST_F(DuktapeFaults, AScriptErrorIsLoggedWithNameMessageAndStackAndTheHostGoesOn) {
    Start({});
    EXPECT_EQ(Run(L"function thrower() { throw new TypeError('bad input'); }\nthrower();"), "TypeError: bad input");
    EXPECT_TRUE(capture_.logger().Contains(
        L"A JavaScript exception occurred while executing script test.js - TypeError: bad input"));
    EXPECT_TRUE(capture_.logger().Contains(L"JavaScript stack: TypeError: bad input")) << "the stack is logged";
    EXPECT_TRUE(capture_.logger().Contains(L"at thrower (test.js:1)"));
    EXPECT_EQ(Run(L"throw 'plain';"), "plain");
    EXPECT_EQ(Run(L"var x = ;"), "SyntaxError: empty expression not allowed (line 1, end of input)");
    EXPECT_EQ(Run(L"set('after', 7);"), "");
    EXPECT_EQ(Get(L"after").GetInt(), 7u);
}

TEST_F(DuktapeFaults, ARunawayLoopIsInterruptedUncatchablyAndNativeTimeDoesNotCount) {
    Start({.time_limit = 100ms});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(L"try { while (true) {} } catch (e) { set('caught', true); } for (;;) {}"),
              "RangeError: execution timeout");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(Get(L"caught").IsEmpty()) << "scripts cannot catch the interruption";
    EXPECT_TRUE(capture_.logger().Contains(
        L"Script execution exceeded the time limit of 100 ms and was interrupted"));

    // Steps whose work grows with the data (4 MiB copied or scanned per
    // loop) end at the limit all the same.
    for (const wchar_t* heavy : {L"var s = new Array(1 << 22).join('x'); for (;;) s += !-s;",
                                 L"var s = new Array(1 << 22).join('x'); for (;;) s.indexOf('y');"}) {
        SCOPED_TRACE(rk::text::wide_to_utf8(heavy));
        capture_.logger().Clear();
        const auto begun = std::chrono::steady_clock::now();
        const std::string result = Run(heavy);
        EXPECT_TRUE(result == "RangeError: execution timeout" || result == "Error: alloc failed") << result;
        EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
        EXPECT_TRUE(capture_.logger().Contains(
            L"Script execution exceeded the time limit of 100 ms and was interrupted"));
    }

    EXPECT_EQ(Run(L"native.Sleep(80); native.Sleep(80); set('slept', true);"), "");
    EXPECT_TRUE(Get(L"slept").GetBool()) << "160 ms in native methods under a 100 ms limit";
}

TEST_F(DuktapeFaults, UnboundedAllocationFailsTheScriptAndTheHeapRecovers) {
    Start({.heap_limit = 8u * 1024 * 1024});
    const std::size_t before = host_->HeapBytes();
    EXPECT_EQ(Run(L"var hog = [], s = 'x'; for (;;) { s = s + s; hog.push(s, {n: hog.length}); }"), "Error: alloc failed");
    EXPECT_TRUE(capture_.logger().Contains(L"Script heap limit of 8388608 bytes reached; the allocation was refused"));
    EXPECT_LE(host_->HeapBytes(), 8u * 1024 * 1024);

    EXPECT_EQ(Run(L"hog = null; s = null;"), "");
    host_->CollectGarbage(true);
    EXPECT_LT(host_->HeapBytes(), before + 512 * 1024) << "the hog's memory came back";

    capture_.logger().Clear();
    const std::string huge = Run(L"var s = native.Huge(9 * 1024 * 1024);");
    EXPECT_EQ(huge, "Error: alloc failed") << "a native string larger than the heap fails the script";
    EXPECT_EQ(Run(L"set('ok', 'x'.length);"), "");
    EXPECT_EQ(Get(L"ok").GetInt(), 1u);
}

TEST_F(DuktapeFaults, DeepRecursionInScriptsAndThroughNativeCallsEndsWithARangeError) {
    Start({});
    EXPECT_EQ(Run(L"function f(n) { return f(n + 1) + 1; } f(0);").rfind("RangeError", 0), 0u);
    // script -> native -> script -> ...: bounded by the engine's native call
    // limit. The innermost error cannot even be described that deep; each
    // level above reports the one below as an Error.
    const std::string through_native = Run(L"function again() { native.Reenter('again'); } again();");
    EXPECT_EQ(through_native.rfind("Error: Error: ", 0), 0u) << through_native.substr(0, 100);
    EXPECT_EQ(Run(L"JSON.parse(new Array(100000).join('[') + new Array(100000).join(']'));").rfind("RangeError", 0),
              0u);
    EXPECT_EQ(Run(L"set('alive', true);"), "");
    EXPECT_TRUE(Get(L"alive").GetBool());
}

TEST(DuktapeHeapGuard, AFatalErrorKillsTheHeapNotTheProcess) {
    rk::logging::test::ScopedLogCapture capture;
    DuktapeHeap heap({});
    ASSERT_TRUE(heap.valid());
    const auto failure = heap.Protected([](duk_context* ctx) {
        duk_push_object(ctx);
        duk_fatal(ctx, "broken invariant");
    });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->fatal);
    EXPECT_EQ(failure->text, "broken invariant");
    EXPECT_FALSE(heap.valid());
    EXPECT_TRUE(capture.logger().Contains(
        L"Script engine fatal error: broken invariant; the engine is unusable until it is restarted"));
    const auto later = heap.Protected([](duk_context* ctx) { duk_push_int(ctx, 1); });
    ASSERT_TRUE(later);
    EXPECT_EQ(later->text, "The script engine died of a fatal error");
    // The destructor frees the dead heap's memory without the engine (ASan checks).

    // A fatal error in a nested entry reaches the outermost one.
    DuktapeHeap nested_heap({});
    int inner_ran = 0;
    const auto outer = nested_heap.Protected([&](duk_context*) {
        ++inner_ran;
        const auto inner = nested_heap.Protected([](duk_context* ctx) { duk_fatal(ctx, "inner"); });
        ADD_FAILURE() << "the fatal error must not come back as a value in a nested entry";
    });
    ASSERT_TRUE(outer);
    EXPECT_TRUE(outer->fatal);
    EXPECT_EQ(inner_ran, 1);
}

}  // namespace
}  // namespace Corvane::Script::duktape
