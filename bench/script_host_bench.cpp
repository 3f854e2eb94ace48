// The script host's costs, each against its reference in the same run:
//  - Execute + Wait of a trivial script function (the start-up script's
//    get()) from another thread, against a bare mutex/condition-variable
//    ping-pong between two threads (goal: at most 3 times);
//  - host start to ready (thread, heap, both signed start-up scripts with
//    their signature checks) and stop (goal: 2 ms each);
//  - a 100 KB signed script: signature check, compile and run, and the two
//    parts alone;
//  - a proxy auto-configuration run (fresh heap, helper functions,
//    FindProxyForURL) against a fresh heap compiling and calling the same
//    FindProxyForURL with stand-ins for the helpers it uses.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "platform/crypto/ec_key_codec.h"
#include "platform/text/utf.h"
#include "script_host/async_script_host.h"
#include "duktape.h"
#include "script_host/duktape/duktape_heap.h"
#include "script_host/duktape/duktape_script_host.h"
#include "script_host/duktape/pac_script.h"
#include "script_host/script_environment_factories.h"
#include "script_host/script_operation_invoker_if.h"
#include "script_host/script_signer.h"
#include "script_host/signature_check.h"

namespace {

using namespace Corvane::Script;

// Two threads handing a token back and forth under one mutex: seconds per
// round trip over `rounds`.
double mutex_condition_ping_pong(int rounds) {
    std::mutex m;
    std::condition_variable cv;
    int turn = 0;  // 0: the caller's, 1: the other thread's, -1: stop
    std::thread other([&] {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return turn != 0; });
            if (turn < 0) {
                return;
            }
            turn = 0;
            cv.notify_all();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::unique_lock lock(m);
        turn = 1;
        cv.notify_all();
        cv.wait(lock, [&] { return turn == 0; });
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    {
        std::lock_guard lock(m);
        turn = -1;
    }
    cv.notify_all();
    other.join();
    return elapsed.count() / rounds;
}

void BM_MutexConditionPingPong(benchmark::State& state) {
    for (auto _ : state) {
        state.SetIterationTime(mutex_condition_ping_pong(1000) * 1000);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_MutexConditionPingPong)->UseManualTime()->Unit(benchmark::kMillisecond);

// Counters: the ping-pong measured right before, and ours / ping-pong.
void BM_ExecuteWaitRoundTrip(benchmark::State& state) {
    ScriptEnvironmentFactory environment;
    CAsyncScriptHost host(environment);
    if (!host.Initialize()) {
        state.SkipWithError("the host did not start");
        return;
    }
    const double reference = mutex_condition_ping_pong(20000);
    auto invoker = host.GetInvoker();
    const ScriptVariable name(L"timer");
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::shared_ptr<IScriptOperation> op;
        invoker->Execute(L"get", name, op);
        ScriptVariable result;
        if (op->Wait(kWaitInfinite, result) != WaitStatus::kSucceeded) {
            state.SkipWithError("the call failed");
            break;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double ours = elapsed.count() / static_cast<double>(state.iterations());
    state.counters["pingpong_us"] = reference * 1e6;
    state.counters["ratio_vs_pingpong"] = ours / reference;
    host.Shutdown();
}
BENCHMARK(BM_ExecuteWaitRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_HostStart(benchmark::State& state) {
    ScriptEnvironmentFactory environment;
    CAsyncScriptHost host(environment);
    for (auto _ : state) {
        if (!host.Initialize()) {
            state.SkipWithError("the host did not start");
            break;
        }
        state.PauseTiming();
        host.Shutdown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HostStart)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_HostStop(benchmark::State& state) {
    ScriptEnvironmentFactory environment;
    CAsyncScriptHost host(environment);
    for (auto _ : state) {
        state.PauseTiming();
        if (!host.Initialize()) {
            state.SkipWithError("the host did not start");
            break;
        }
        state.ResumeTiming();
        host.Shutdown();
    }
}
BENCHMARK(BM_HostStop)->UseRealTime()->Unit(benchmark::kMicrosecond);

// About 100 KB of ordinary script code (functions, objects, string work),
// signed with the development script key.
const std::wstring& signed_100k_script() {
    static const std::wstring text = [] {
        std::string code = "var total = 0;\n";
        for (int i = 0; code.size() < 100 * 1024; ++i) {
            const std::string n = std::to_string(i);
            code += "function handler" + n + "(record) {\n"
                    "    var fields = { id: " + n + ", name: 'event" + n + "', tags: ['a', 'b', 'c'] };\n"
                    "    if (record && record.id === fields.id) { return fields.name.toUpperCase(); }\n"
                    "    return fields.tags.join('-') + fields.id;\n"
                    "}\n"
                    "total += handler" + n + "(null).length;\n";
        }
        std::ifstream in(RK_SOURCE_DIR "/profile/dev-keys/script.key.pem");
        const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto key = rk::crypto::private_key_from_pem(pem);
        const auto signed_text = key ? rk::script::sign_script(code, *key) : std::nullopt;
        return signed_text ? rk::text::utf8_to_wide(*signed_text) : std::wstring();
    }();
    return text;
}

void Run100k(benchmark::State& state, bool check, bool run) {
    const std::wstring& text = signed_100k_script();
    const std::string bytes = rk::text::wide_to_utf8(text);
    duktape::DuktapeScriptHost host({});
    host.SetSignatureVerification(true);
    if (text.empty() || !host.Initialize()) {
        state.SkipWithError("no signed script or no host");
        return;
    }
    for (auto _ : state) {
        if (check && run) {
            host.AddScript(text, L"100k.js");
        } else if (check) {
            benchmark::DoNotOptimize(
                SignatureCheck::VerifySignature(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        } else {
            host.AddVerifiedScript(text, L"100k.js");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
void BM_Signed100kScript_CheckCompileRun(benchmark::State& state) { Run100k(state, true, true); }
void BM_Signed100kScript_CheckOnly(benchmark::State& state) { Run100k(state, true, false); }
void BM_Signed100kScript_CompileRunOnly(benchmark::State& state) { Run100k(state, false, true); }
BENCHMARK(BM_Signed100kScript_CheckCompileRun)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Signed100kScript_CheckOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Signed100kScript_CompileRunOnly)->Unit(benchmark::kMicrosecond);

constexpr char kProxyScript[] =
    "function FindProxyForURL(url, host) {\n"
    "    if (isPlainHostName(host) || dnsDomainIs(host, '.corp.example')) return 'DIRECT';\n"
    "    if (shExpMatch(url, 'http://*/path*')) return 'PROXY a:8080; DIRECT';\n"
    "    return 'PROXY b:3128';\n"
    "}\n";
constexpr char kProxyStandIns[] =
    "function isPlainHostName(h) { return h.indexOf('.') < 0; }\n"
    "function dnsDomainIs(h, d) { return h.substring(h.length - d.length) === d; }\n"
    "function shExpMatch(s, p) { return s.indexOf('/path') >= 0; }\n";

void BM_ProxyScriptRun(benchmark::State& state) {
    duktape::PacHost host;
    host.now_ms = 0;
    for (auto _ : state) {
        const auto outcome =
            duktape::RunProxyScript(kProxyScript, "http://www.example.com/path", "www.example.com", host, {});
        if (outcome.result != "PROXY a:8080; DIRECT") {
            state.SkipWithError(outcome.error.c_str());
            return;
        }
    }
}
BENCHMARK(BM_ProxyScriptRun)->Unit(benchmark::kMicrosecond);

void BM_ProxyScriptBareHeap(benchmark::State& state) {
    const std::string script = std::string(kProxyStandIns) + kProxyScript;
    for (auto _ : state) {
        duktape::DuktapeHeap heap({});
        std::string result;
        heap.Protected([&](duk_context* ctx) {
            duk_push_lstring(ctx, script.data(), script.size());
            duk_push_string(ctx, "proxy.pac");
            duk_compile(ctx, 0);
            duk_call(ctx, 0);
            duk_pop(ctx);
            duk_get_global_string(ctx, "FindProxyForURL");
            duk_push_string(ctx, "http://www.example.com/path");
            duk_push_string(ctx, "www.example.com");
            duk_call(ctx, 2);
            result = duk_safe_to_string(ctx, -1);
        });
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ProxyScriptBareHeap)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
