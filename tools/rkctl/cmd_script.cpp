// rkctl script: runs a script in the script host with the built-in
// plug-ins, so operators and content engineers can try a script before it
// ships.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/logging/development_logging.h"
#include "platform/logging/process_logger_holder.h"
#include "platform/text/utf.h"
#include "script_host/async_script_host.h"
#include "script_host/file_utility.h"
#include "script_host/plugin_factory.h"
#include "script_host/script_environment_factories.h"
#include "script_host/script_operation_invoker_if.h"
#include "tools/rkctl/command.h"
#if RKCTL_WITH_SCRIPT_PLUGINS
#include "script_host/plugins/builtin_plugins.h"
#endif

namespace rk::ctl {
namespace {

namespace cs = Corvane::Script;

constexpr char kUsage[] =
    "usage: rkctl script FILE [--unsigned-ok] [--timeout MS] [--log]\n"
    "\n"
    "Runs FILE in the script host (the engine of the analytics scripts) with\n"
    "the built-in plug-ins: PluginFactory.Create(\"system\", \"registry\", \"queue\",\n"
    "\"logging\", \"wmi\", \"contextitemstore\"), timer, _scriptHost and the host's\n"
    "functions (AddScript, AddScriptFromFile, CollectGarbage, set, get).\n"
    "\n"
    "FILE must end with a valid signature line (rkctl sign-script) unless\n"
    "--unsigned-ok is given. After it has run, timers it set keep running until\n"
    "none is left or --timeout passes (default 10000 ms); the same time-out\n"
    "interrupts script code that runs longer without returning. Then the\n"
    "global `result`, when the script set one, is printed as \"result: VALUE\".\n"
    "Console output (logging.WriteToConsole) goes to stdout; the host's error\n"
    "lines to stderr (--log: every line).\n"
    "\n"
    "Exit code: 0 the script ran, 1 it was refused or failed, 2 usage or file error.\n";

struct Options {
    std::string file;
    bool unsigned_ok = false;
    bool log_all = false;
    std::chrono::milliseconds timeout{10'000};
};

bool parse(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--unsigned-ok") {
            o.unsigned_ok = true;
        } else if (a == "--log") {
            o.log_all = true;
        } else if (a == "--timeout") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "rkctl script: --timeout needs a value\n");
                return false;
            }
            const std::string& v = args[++i];
            char* end = nullptr;
            const unsigned long ms = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || ms == 0 || ms > 86'400'000) {
                std::fprintf(stderr, "rkctl script: --timeout takes milliseconds from 1 to 86400000\n");
                return false;
            }
            o.timeout = std::chrono::milliseconds(ms);
        } else if (a.starts_with("--")) {
            std::fprintf(stderr, "rkctl script: unknown option %s\n", a.c_str());
            return false;
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            std::fprintf(stderr, "%s", kUsage);
            return false;
        }
    }
    if (o.file.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return false;
    }
    return true;
}

std::string describe(const cs::ScriptVariable& v) {
    switch (v.GetType()) {
        case cs::ScriptVariableType::kString: return text::wide_to_utf8(v.GetString());
        case cs::ScriptVariableType::kBoolean: return v.GetBool() ? "true" : "false";
        case cs::ScriptVariableType::kInteger: return std::to_string(v.GetSignedInt());
        case cs::ScriptVariableType::kObject: return "[object]";
        case cs::ScriptVariableType::kEmpty: break;
    }
    return "";
}

// Calls a global function of the host's scripts and waits for it.
cs::WaitStatus call(cs::CAsyncScriptHost& host, const wchar_t* function, std::vector<cs::ScriptVariable> args,
                    cs::ScriptVariable& result) {
    auto invoker = host.GetInvoker();
    std::shared_ptr<cs::IScriptOperation> op;
    if (!invoker || !invoker->Execute(function, static_cast<std::uint32_t>(args.size()),
                                      args.empty() ? nullptr : args.data(), op)) {
        return cs::WaitStatus::kCancelled;
    }
    return op->Wait(cs::kWaitInfinite, result);
}

int run_script(const std::vector<std::string>& args) {
    Options o;
    if (!parse(args, o)) {
        return kExitUsage;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(o.file, ec);
    if (ec) {
        std::fprintf(stderr, "rkctl script: cannot read %s: %s\n", o.file.c_str(), ec.message().c_str());
        return kExitUsage;
    }
    if (size > cs::CFileUtility::kMaxFileSize) {
        std::fprintf(stderr, "rkctl script: %s is larger than %llu bytes\n", o.file.c_str(),
                     static_cast<unsigned long long>(cs::CFileUtility::kMaxFileSize));
        return kExitUsage;
    }

    auto logger = std::make_unique<ETWLogging::CDevelopmentLogging>(2);
    logger->SetSeverity(o.log_all ? rk::log_level::kMinLevel : rk::log_level::kCritical);
    auto previous = GetProcessLogger().ExchangeLogger(std::move(logger));

    int status = kExitOk;
    {
        cs::ScriptEnvironmentFactory environment({.time_limit = o.timeout});
        cs::CAsyncScriptHost host(environment);
        host.SetSignatureVerification(!o.unsigned_ok);
        if (!host.Initialize()) {
            std::fprintf(stderr, "rkctl script: the script host did not start\n");
            status = kExitFailure;
        } else {
            auto factory = std::make_shared<cs::CPluginFactory>(&environment);
#if RKCTL_WITH_SCRIPT_PLUGINS
            cs::RegisterBuiltinPlugins(*factory, std::make_shared<cs::ContextItemStoreSlot>());
#endif
            cs::ScriptVariable ignored;
            const auto path = text::utf8_to_wide(std::filesystem::absolute(o.file).string());
            if (call(host, L"set", {cs::ScriptVariable(L"PluginFactory"), cs::ScriptVariable(factory)}, ignored) !=
                    cs::WaitStatus::kSucceeded ||
                call(host, L"AddScriptFromFile", {cs::ScriptVariable(path)}, ignored) != cs::WaitStatus::kSucceeded) {
                std::fprintf(stderr, "rkctl script: %s was refused or failed\n", o.file.c_str());
                status = kExitFailure;
            } else {
                const auto deadline = std::chrono::steady_clock::now() + o.timeout;
                while (host.PendingWork() > 0 && std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                if (const auto pending = host.PendingWork(); pending > 0) {
                    std::fprintf(stderr, "rkctl script: stopped after %lld ms with %zu timers or calls pending\n",
                                 static_cast<long long>(o.timeout.count()), pending);
                }
                cs::ScriptVariable result;
                if (call(host, L"get", {cs::ScriptVariable(L"result")}, result) == cs::WaitStatus::kSucceeded &&
                    !result.IsEmpty()) {
                    std::fflush(stdout);
                    std::printf("result: %s\n", describe(result).c_str());
                }
            }
        }
        host.Shutdown();
    }
    std::fflush(stdout);
    GetProcessLogger().ExchangeLogger(std::move(previous));
    return status;
}

const CommandRegistrar kScript({"script", "run a script in the script host with the built-in plug-ins", kUsage,
                                run_script});

}  // namespace
}  // namespace rk::ctl
