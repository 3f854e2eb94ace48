// The built-in plug-ins seen from real scripts in the real host: creation by
// name, results as script values, failures as script errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/test/temp_root.h"
#include "platform/system/test/udp_receiver.h"
#include "script_host/async_script_host.h"
#include "script_host/plugin_factory.h"
#include "script_host/plugins/builtin_plugins.h"
#include "script_host/plugins/script_variable_store.h"
#include "script_host/script_environment_factories.h"
#include "script_host/script_operation_invoker_if.h"

namespace Corvane::Script {
namespace {

namespace fs = std::filesystem;

// The syslog service.
using Receiver = rk::sys::test::UdpReceiver;

class PluginsInScripts : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_.path() / "w");
        std::ofstream(root_.path() / "w/a.txt") << "A";
        host_.SetSignatureVerification(false);
        ASSERT_TRUE(host_.Initialize());
        auto factory = std::make_shared<CPluginFactory>(&environment_);
        RegisterBuiltinPlugins(*factory, std::make_shared<ContextItemStoreSlot>(), {&console_, syslog_.port()});
        ASSERT_EQ(Call(L"set", {ScriptVariable(L"PluginFactory"), ScriptVariable(factory)}), WaitStatus::kSucceeded);
        ASSERT_EQ(Call(L"set", {ScriptVariable(L"ScriptVariableStore"), ScriptVariable(store_)}),
                  WaitStatus::kSucceeded);
    }
    void TearDown() override { host_.Shutdown(); }

    WaitStatus Call(const std::wstring& function, std::vector<ScriptVariable> args,
                    ScriptVariable* result = nullptr) {
        std::shared_ptr<IScriptOperation> op;
        ScriptVariable ignored;
        if (!host_.GetInvoker()->Execute(function, static_cast<std::uint32_t>(args.size()), args.data(), op)) {
            return WaitStatus::kCancelled;
        }
        return op->Wait(kWaitInfinite, result != nullptr ? *result : ignored);
    }
    // Runs the script and gives its global `result`.
    std::wstring Run(const std::wstring& script) {
        EXPECT_EQ(Call(L"AddScript", {ScriptVariable(script)}), WaitStatus::kSucceeded);
        ScriptVariable result;
        EXPECT_EQ(Call(L"get", {ScriptVariable(L"result")}, &result), WaitStatus::kSucceeded);
        return result.GetString();
    }

    rk::sys::test::TempRoot root_;
    rk::logging::test::ScopedLogCapture log_;
    Receiver syslog_;
    std::ostringstream console_;
    std::shared_ptr<CScriptVariableStore> store_ = std::make_shared<CScriptVariableStore>(nullptr);
    ScriptEnvironmentFactory environment_;
    CAsyncScriptHost host_{environment_};
};

TEST_F(PluginsInScripts, EveryPluginFromAScript) {
    EXPECT_EQ(Run(LR"JS(
        var out = [];
        var f = PluginFactory;
        var sys = f.Create("system");
        out.push(sys.GetName() + " " + sys.GetVersion() + " " + sys.GetPlatform());
        out.push(sys.Move("C:\\w\\a.txt", "C:\\w\\b.txt", "replaceexisting|writethrough") + " " + sys.ReadFile("C:\\w\\b.txt"));

        var reg = f.Create("registry");
        reg.CreateReg("HKLM\\SOFTWARE\\Corvane\\Script");
        reg.SetValue("n", -2);
        out.push(reg.QueryValue("n"));

        var q = f.Create("queue");
        q.Push("a"); q.Push(2); q.Push(null);
        out.push(q.Size() + " " + q.Front() + " " + q.Back() + " " + (f.Create("queue").Size()));

        var log = f.Create("logging");
        log.WriteToConsole("hello");
        out.push(log.WriteToSyslog("info", "from a script"));

        var services = f.Create("wmi").connectServer("root\\cimv2");
        var disks = services.execQuery("SELECT DeviceID FROM Win32_LogicalDisk WHERE DeviceID = 'C:'");
        var disk = disks.next();
        out.push(disk.Get("DeviceID") + " " + (disks.next() === null));

        var c1 = f.Create("contextitemstore");
        c1.Set("k", "v");
        out.push(f.Create("contextitemstore").Get("k"));
        ScriptVariableStore.Set("obj", q);
        out.push(ScriptVariableStore.Get("obj").Size() + " " + (ScriptVariableStore.Get("missing") === null));
        out.push(f.Create("nope") === null);
        result = out.join("|");
    )JS"),
              L"System Plugin 5 x64|true A|-2|2 a 2 0|true|C: true|v|2 true|true");
    EXPECT_EQ(console_.str(), "[console] hello\n");
    EXPECT_EQ(syslog_.receive(), "<134>from a script");
}

// Failures reach the script as errors whose message is the documented text
// (each plug-in's own test holds its full list).
TEST_F(PluginsInScripts, FailuresAreScriptErrors) {
    EXPECT_EQ(Run(LR"JS(
        function error(f) { try { f(); return "(nothing thrown)"; } catch (e) { return e.message; } }
        var f = PluginFactory;
        var sys = f.Create("system"), services = f.Create("wmi").connectServer("");
        result = [
            error(function () { sys.ReadFile(42); }),
            error(function () { sys.ReadFile([1, 2]); }),
            error(function () { sys.ReadFile(function () {}); }),
            error(function () { sys.LaunchProcess(""); }),
            error(function () { services.execQuery("SELECT * FROM Win32_BIOS").next().Get("Nope"); }),
            sys.GetLastErrorMessage()
        ].join("\n");
    )JS"),
              L"Incorrect number of parameters or invalid types. Number of parameters passed: 1\n"
              L"Incorrect number of parameters or invalid types. Number of parameters passed: 1\n"
              L"Incorrect number of parameters or invalid types. Number of parameters passed: 1\n"
              L"Invalid (empty) path\n"
              L"No such property: 'Nope' (0x80041002)\n"
              L"Invalid (empty) path");
}

}  // namespace
}  // namespace Corvane::Script
