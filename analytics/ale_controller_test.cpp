// The engine for real: Duktape script thread, the signed bootstrap, the
// plug-ins, content scripts from the script folder or delivered by a signed
// content update over HTTPS, in a temporary root.
#include "analytics/ale_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "analytics/analytics_logger_helper.h"
#include "analytics/event.h"
#include "analytics/http_transaction.h"
#include "analytics/rk_ale_engine_controller.h"
#include "analytics/script_host_type.h"
#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "platform/crypto/ec_key_codec.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "script_host/script_environment_factory_if.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/http_transaction.h"

namespace Halden::Analytics {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using rk::logging::test::ScopedLogCapture;
using rk::sys::test::read_file;
using rk::sys::http::test::TestServer;

const fs::path kSigned = RK_ANALYTICS_SIGNED_SCRIPTS;
const fs::path kSource = RK_SOURCE_DIR;

std::size_t thread_count() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

long long elapsed_ms(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::wstring closed_port_url(const char* path) {
    return L"https://127.0.0.1:" + std::to_wstring(rk::sys::http::test::closed_port()) + rk::text::utf8_to_wide(path);
}

class Engine : public ::testing::Test {
protected:
    Engine() {
        DiraDoro::CRegKey key;
        key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"Software\\Corvane\\RkClientAnalytics");
        key.SetDWORDValue(L"enableLegacyAutomationLogs", 1);
        fs::create_directories(scripts_);
        HttpTransaction::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
        XMLUpdater::v2::NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
    }
    ~Engine() override {
        CAnalyticsLoggerHelper::CloseStreams();
        HttpTransaction::SetTrustAnchors({});
        XMLUpdater::v2::NHttp::SetTrustAnchors({});
    }

    std::unique_ptr<CALEController> make(const wchar_t* delay) {
        auto controller = std::make_unique<CALEController>(L"$(FOLDERID_ProgramData)\\Corvane\\TestAnalytics",
                                                           L"HKLM\\SOFTWARE\\Corvane\\TestAnalytics");
        controller->AddSetting(L"product_content_update_url", content_url_);
        controller->AddSetting(L"Analytics.ScriptHost.Terminate.Delay", delay);
        return controller;
    }
    // Starts an engine, sends one record and stops it; the stop's duration.
    long long report(const wchar_t* delay, const wchar_t* id, const std::wstring& collector = {}) {
        auto engine = make(delay);
        if (!collector.empty()) {
            engine->AddSetting(L"demo_collector_url", collector);
        }
        EXPECT_EQ(engine->Initialize(), 0u);
        EXPECT_EQ(engine->Start(), 0u);
        v2::CEvent(id).SetCategory(L"Life").Send();
        const auto start = Clock::now();
        EXPECT_EQ(engine->Shutdown(), 0u);
        return elapsed_ms(start);
    }
    void install(const std::string& text) { std::ofstream(scripts_ / "engine.js", std::ios::binary) << text; }
    std::string log_file(const char* name) { return read_file(root_.path() / "var/lib/Corvane/ClientAnalytics" / name); }

    rk::sys::test::TempRoot root_;
    fs::path scripts_ = root_.path() / "var/lib/Corvane/TestAnalytics/Scripts";
    std::wstring content_url_ = closed_port_url("/update_product.xml");
    ScopedLogCapture capture_;
};

TEST_F(Engine, StatusesThroughTheLifecycle) {
    const std::size_t threads = thread_count();
    auto engine = make(L"0");
    EXPECT_EQ(engine->Shutdown(), 0x800000FFu);
    EXPECT_EQ(engine->Uninitialize(), 0x800000FFu);
    EXPECT_EQ(engine->Initialize(), 0u);
    const std::size_t running = thread_count();
    EXPECT_EQ(running, threads + 1);
    EXPECT_EQ(engine->Initialize(), 0u);
    EXPECT_EQ(thread_count(), running);  // no second script thread

    engine->AddSetting(L"Analytics.Script.InitializeFrom", L"File");
    EXPECT_EQ(engine->Start(), 0x800000FFu);
    engine->AddSetting(L"Analytics.Script.InitializeFrom", L"content");
    EXPECT_EQ(engine->Start(), 0u);
    EXPECT_EQ(engine->Start(), 0u);
    EXPECT_EQ(engine->Shutdown(), 0u);
    EXPECT_EQ(engine->GetSetting(L"product_content_update_url"), content_url_);
    EXPECT_EQ(engine->Uninitialize(), 0u);
    EXPECT_EQ(engine->GetSetting(L"product_content_update_url"), L"");  // instance settings cleared
    EXPECT_EQ(engine->Uninitialize(), 0x800000FFu);
    EXPECT_EQ(thread_count(), threads);
    EXPECT_TRUE(capture_.logger().Contains(
        L"Overriding setting 'Analytics.Script.InitializeFrom': value 'File' will become 'content'"));
}

TEST(ScriptHostType, EveryNameKeepsItsNumberAndRunsDuktape) {
    using internal::ScriptHostType;
    const struct {
        const wchar_t* name;
        ScriptHostType type;
        int environment;
    } cases[] = {
        {L"default", ScriptHostType::kDefault, 0}, {L"activescript", ScriptHostType::kActiveScript, 1},
        {L"olddefault", ScriptHostType::kOldDefault, 0}, {L"jsrt", ScriptHostType::kJsRT, 3},
        {L"legacy", ScriptHostType::kLegacy, 4}, {L"Legacy", ScriptHostType::kDefault, 0},
        {L"", ScriptHostType::kDefault, 0},
    };
    for (const auto& c : cases) {
        const ScriptHostType type = internal::ScriptHostTypeForName(c.name);
        EXPECT_EQ(type, c.type) << rk::text::wide_to_utf8(c.name);
        EXPECT_EQ(internal::MakeEnvironmentFactory(type, {})->GetType(), c.environment);
    }
}

TEST_F(Engine, BootstrapFaults) {
    // A tampered script fails its signature as an unsigned one does
    // (AsyncHost.SignedScriptsRunAndUnsignedOrTamperedOnesAreRefusedUnrun).
    const std::wstring content_failed = L"Failed to asynchronously load the bootstrap script: Wait status is 1";
    const struct {
        const char* name;
        const wchar_t* from;
        std::wstring content;  // empty: the setting is emptied
        const wchar_t* line;
    } cases[] = {
        {"unsigned", L"content", L"function x() {}\r\n//" + std::wstring(128, L'0') + L"++", content_failed.c_str()},
        {"throws", L"content", rk::text::utf8_to_wide(read_file(kSigned / "throw_bootstrap.js")), content_failed.c_str()},
        {"never returns", L"content", rk::text::utf8_to_wide(read_file(kSigned / "loop_bootstrap.js")),
         content_failed.c_str()},
        {"empty content, no file", L"content", L"",
         L"Empty Boot-Script content; loading from file instead (default behaviour)"},
        {"no file", L"file", L"", L"Failed to asynchronously load the bootstrap file '"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        capture_.logger().Clear();
        auto engine = make(L"0");
        engine->AddSetting(L"Analytics.Script.InitializeFrom", c.from);
        engine->AddSetting(L"Analytics.Script.Content", c.content);
        ASSERT_EQ(engine->Initialize(), 0u);
        EXPECT_EQ(engine->Start(), 0x80000002u);
        EXPECT_TRUE(capture_.logger().Contains(c.line));
    }
    // The profile's signed bootstrap loads as a file from the base folder.
    fs::copy_file(kSigned / "ca_bootstrap.js", root_.path() / "var/lib/Corvane/TestAnalytics/ca_bootstrap.js");
    auto engine = make(L"0");
    engine->AddSetting(L"Analytics.Script.InitializeFrom", L"file");
    ASSERT_EQ(engine->Initialize(), 0u);
    EXPECT_EQ(engine->Start(), 0u);
}

TEST_F(Engine, ContentScriptSeesSettingsAndContextVariables) {
    install(read_file(kSigned / "probe_engine.js"));
    auto engine = make(L"5");
    engine->AddSetting(L"probe_setting", L"probed");
    engine->SetVariable(L"before", L"set before the store");
    ASSERT_EQ(engine->Initialize(), 0u);
    ASSERT_EQ(engine->Start(), 0u);
    engine->SetVariable(L"after", 7u);
    v2::CEvent(L"second").Send();
    ASSERT_EQ(engine->Shutdown(), 0u);
    const std::string log = log_file("RawTrackLog.txt");
    for (const char* entry :
         {"\"data\":\"set before the store\",", "\"data\":\"probed\",", "\"uniqueId\":\"engine\"", "\"data\":\"7\","}) {
        EXPECT_NE(log.find(entry), std::string::npos) << entry << "\n" << log;
    }
    EXPECT_EQ(log.find("mBusHandler"), std::string::npos);
}

TEST_F(Engine, ScriptDebugSwitchIsANonZeroDwordOfTheScrambledKey) {
    install(read_file(kSigned / "probe_engine.js"));
    const struct {
        const char* name;
        int dword;  // -1: a string value "1"; -2: absent
        const char* property;
    } cases[] = {{"absent", -2, "false"}, {"zero", 0, "false"}, {"one", 1, "true"}, {"a string", -1, "false"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DiraDoro::CObfuscatedRegKey key;
        ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\TestAnalytics"), 0);
        key.DeleteValue(L"EnableScriptDebug");
        if (c.dword >= 0) {
            key.SetDWORDValue(L"EnableScriptDebug", static_cast<rk::DWORD>(c.dword));
        } else if (c.dword == -1) {
            key.SetStringValue(L"EnableScriptDebug", L"1");
        }
        fs::remove(root_.path() / "var/lib/Corvane/ClientAnalytics/RawTrackLog.txt");
        report(L"5", L"debug");
        CAnalyticsLoggerHelper::CloseStreams();
        EXPECT_NE(log_file("RawTrackLog.txt").find(std::string("{\"data\":\"") + c.property + "\",\"timeStamp\""),
                  std::string::npos)
            << log_file("RawTrackLog.txt");
    }
}

TEST_F(Engine, ContentScriptFaultsNeitherStopTheEngineNorHoldItsStop) {
    const struct {
        const char* name;
        std::string script;
        const char* raw_entry;  // in the raw-record log afterwards
        bool load_error;        // ErrorLog.txt names engine.js
    } cases[] = {
        {"unsigned", read_file(kSource / "analytics/test/scripts/probe_engine.js"), "\"uniqueId\":\"mBusHandler\"", true},
        {"throws at load", read_file(kSigned / "throw_engine.js"), "\"uniqueId\":\"mBusHandler\"", true},
        {"handler never returns", read_file(kSigned / "loop_engine.js"), "\"uniqueId\":\"looping\"", false},
        {"floods its queue", read_file(kSigned / "flood_engine.js"), "\"uniqueId\":\"flood\"", false},
    };
    const std::size_t threads = thread_count();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* log : {"ErrorLog.txt", "RawTrackLog.txt"}) {
            fs::remove(root_.path() / "var/lib/Corvane/ClientAnalytics" / log);
        }
        install(c.script);
        // The delay (1 s) plus the script time limit (2 s) bound the stop.
        EXPECT_LT(report(L"1", L"faulty"), 4500);
        CAnalyticsLoggerHelper::CloseStreams();
        EXPECT_NE(log_file("RawTrackLog.txt").find(c.raw_entry), std::string::npos);
        EXPECT_EQ(log_file("ErrorLog.txt").find("\"uniqueId\":\"engine.js\"") != std::string::npos, c.load_error);
        EXPECT_EQ(thread_count(), threads);
    }
}

// A content update document for `server` that installs its engine.js.
std::string content_document(const TestServer& server) {
    const auto key = rk::crypto::private_key_from_pem(read_file(kSource / "profile/dev-keys/document.key.pem"));
    const std::string document =
        "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><DOWNLOAD Location=\"" + server.url("/content/engine.js") +
        "\" DestDir=\"[.]\\Scripts\" DestFile=\"engine.js\"/></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
    const auto signed_document = rk::xmlsig::sign_document(document, *key);
    return signed_document ? *signed_document : std::string();
}

TEST_F(Engine, ContentUpdateInstallsTheSignedScriptAndRecordsReachTheCollector) {
    TestServer server(TestServer::Mode::kTls);
    std::atomic<int> collected{0};
    server.handle("POST", "/collect", [&](const httplib::Request& request, httplib::Response& response) {
        collected += request.body.find("\"UniqueIdentifier\":\"delivered\"") != std::string::npos;
        response.status = 204;
    });
    server.serve("/content/engine.js", read_file(kSigned / "engine.js"));
    content_url_ = server.wide_url("/update_product.xml");
    const std::string document = content_document(server);
    ASSERT_FALSE(document.empty());
    std::string tampered = document;
    tampered[tampered.find("Scripts")] = 's';
    for (const bool intact : {false, true}) {
        SCOPED_TRACE(intact);
        server.serve("/update_product.xml", intact ? document : tampered, "text/xml");
        report(L"5", L"delivered", rk::text::utf8_to_wide(server.url("/collect")));
        EXPECT_EQ(fs::exists(scripts_ / "engine.js"), intact);
        EXPECT_EQ(collected.load(), intact ? 1 : 0);
    }
    CAnalyticsLoggerHelper::CloseStreams();
    EXPECT_NE(log_file("TransportsLog.txt").find("\"status\":\"Success\""), std::string::npos);
}

TEST_F(Engine, CollectorFaultsAreRecordedAndTheStopStaysBounded) {
    TestServer collector(TestServer::Mode::kTls);
    collector.handle("POST", "/fail", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
    });
    collector.handle("POST", "/slow", [&](const httplib::Request&, httplib::Response& response) {
        collector.stall(std::chrono::seconds(30));
        response.status = 204;
    });
    install(read_file(kSigned / "engine.js"));
    // An untrusted collector fails as one that is down (RestfulSender's own
    // test holds the transport's failures).
    const struct {
        const char* name;
        std::wstring url;
        const char* delay;
    } cases[] = {
        {"answers 500", collector.wide_url("/fail"), "5"},
        {"down", closed_port_url("/collect"), "5"},
        {"slow", collector.wide_url("/slow"), "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(root_.path() / "var/lib/Corvane/ClientAnalytics/TransportsLog.txt");
        const std::wstring delay = rk::text::utf8_to_wide(c.delay);
        // A stop cancels the request still waiting on the collector.
        EXPECT_LT(report(delay.c_str(), L"refused", c.url), std::stoi(c.delay) * 1000 + 1500);
        CAnalyticsLoggerHelper::CloseStreams();
        const std::string log = log_file("TransportsLog.txt");
        EXPECT_NE(log.find("\"status\":\"Fail\""), std::string::npos) << log;
        EXPECT_EQ(log.find("\"status\":\"Success\""), std::string::npos) << log;
    }
}

TEST_F(Engine, NonNumericDelayThrowsFromShutdownOnly) {
    auto engine = make(L"soon");
    ASSERT_EQ(engine->Initialize(), 0u);
    EXPECT_THROW(engine->Shutdown(), std::invalid_argument);
    engine.reset();  // the destructor stops without a delay
}

TEST_F(Engine, ProductControllerReplacesLinksOnTheWayToItsDataFolder) {
    const fs::path corvane = root_.path() / "var/lib/Corvane";
    const fs::path target = root_.path() / "elsewhere";
    for (const bool parent : {false, true}) {
        SCOPED_TRACE(parent);
        fs::remove_all(target);
        fs::create_directories(target);
        const fs::path link = parent ? corvane : corvane / "LumoraClientAnalytics";
        fs::remove_all(link);
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(target, link);
        EngineOptions options;
        options.content_update_url = content_url_;
        options.terminate_delay = L"0";
        CRkALEEngineController::SetEngineOptions(options);
        capture_.logger().Clear();
        auto product = CRkALEEngineController::GetALEEngineControllerInstance();
        EXPECT_EQ(CRkALEEngineController::GetALEEngineControllerInstance(), product);
        product->StopAndUninitializeALEEngine();
        product->InitializeAndStartALEEngine();
        EXPECT_TRUE(product->Started());
        EXPECT_FALSE(fs::is_symlink(link));
        EXPECT_TRUE(fs::is_directory(corvane / "LumoraClientAnalytics"));
        EXPECT_TRUE(fs::is_empty(target));
        EXPECT_EQ(product->Controller()->GetSetting(L"Analytics.ScriptHost.Terminate.Delay"), L"0");
        EXPECT_EQ(product->Controller()->GetSetting(L"Analytics.ScriptHost.Type"), L"legacy");
        EXPECT_EQ(product->Controller()->GetSetting(L"Product_Name"), L"lumora");
        product->StopAndUninitializeALEEngine();
        CRkALEEngineController::DestroyInstance();
        EXPECT_NE(CRkALEEngineController::GetALEEngineControllerInstance(), product);
        CRkALEEngineController::DestroyInstance();
        const std::vector<std::wstring> order = {
            L"ALEEngine was not started",
            parent ? L"Symbolic Link Not found" : L"Removing directory as symbolic link has been found",
            L"Created instance for controller",
            L"ALE Engine Initialized successfully",
            L"ALE Engine Started successfully",
            L"ALE Engine stopped successfully",
            L"ALE Engine Unitialization successfully"};
        auto messages = capture_.logger().Messages();
        auto it = messages.begin();
        for (const auto& line : order) {
            it = std::find(it, messages.end(), line);
            EXPECT_NE(it, messages.end()) << rk::text::wide_to_utf8(line);
        }
    }
    CRkALEEngineController::SetEngineOptions({});
}

}  // namespace
}  // namespace Halden::Analytics
