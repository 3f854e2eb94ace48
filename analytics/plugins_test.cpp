// The engine's plug-ins through their script methods (no script engine:
// calls run at once on the calling thread).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analytics/analytics_logging_plugin.h"
#include "analytics/bsi_plugin.h"
#include "analytics/event.h"
#include "analytics/http_transaction.h"
#include "analytics/inproc_api_plugin.h"
#include "analytics/restful_plugin.h"
#include "platform/config/reg_key.h"
#include "platform/crypto/ec_key_codec.h"
#include "platform/logging/test/scoped_process_logger.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/updater.h"

namespace Halden::Analytics {
namespace {

namespace fs = std::filesystem;
using Corvane::Script::ScriptVariable;
using rk::logging::test::ScopedLogCapture;

ScriptVariable call(Corvane::Script::IScriptableObject& object, const std::wstring& method,
                    std::vector<ScriptVariable> args = {}, bool* ok = nullptr) {
    // A handler's exception reaches the engine binding, which makes it a
    // script error.
    ScriptVariable result;
    bool done = false;
    try {
        done = object.Execute(method, result, static_cast<std::uint32_t>(args.size()),
                              args.empty() ? nullptr : args.data());
    } catch (const std::exception&) {
        done = false;
    }
    if (ok != nullptr) {
        *ok = done;
    }
    return result;
}

// A script object with "Push", as the bootstrap's event queue.
class QueueObject final : public Corvane::Script::PluginObject {
public:
    QueueObject() : PluginObject(nullptr, {Method(L"Push", {Corvane::Script::kArgString}, this, &QueueObject::Push)}) {}
    std::wstring GetName() override { return L"queue"; }
    std::wstring GetVersion() override { return L"1"; }
    std::vector<std::wstring> pushed;

private:
    void Push(ScriptVariable&, std::uint32_t, const ScriptVariable* args) { pushed.push_back(args[0].GetString()); }
};

TEST(InProcApiPlugin, RecordsReachTheQueueWhileThePluginLives) {
    ScopedLogCapture capture;
    const auto transport = CInProcAPITransport::Instance();
    auto queue = std::make_shared<QueueObject>();
    {
        auto plugin = std::make_shared<CInProcAPIPlugin>(nullptr, transport);
        EXPECT_EQ(call(*plugin, L"GetName").GetString(), L"InProcAPI Plugin");
        EXPECT_EQ(call(*plugin, L"GetVersion").GetString(), L"1");
        EXPECT_FALSE(plugin->ProcessTrackAttributes({{L"a", L"b"}}));
        bool ok = true;
        call(*plugin, L"Initialize", {}, &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(call(*plugin, L"GetLastErrorMessage").GetString(),
                  L"Incorrect number of parameters or invalid types. Number of parameters passed: 0");
        EXPECT_TRUE(call(*plugin, L"Initialize", {ScriptVariable(std::shared_ptr<Corvane::Script::IScriptableObject>(queue))})
                        .GetBool());
        EXPECT_FALSE(plugin->ProcessTrackAttributes({}));

        v2::CEvent(L"evt-1").SetCategory(L"Life").Send();
        ASSERT_EQ(queue->pushed.size(), 1u);
        const std::wstring& message = queue->pushed[0];
        EXPECT_TRUE(message.starts_with(L"{\"type\":\"InProcAPI Plugin\",\"version\":\"1\",\"payload\":{\"name\":"
                                        L"\"Analytics.v1.AddRecord\",\"payload\":{\"UniqueIdentifier\":\"evt-1\","
                                        L"\"payload\":{\"Event.Category\":\"Life\",\"Tracker.Type\":\"event\","
                                        L"\"UniqueIdentifier\":\"evt-1\",\"__caller.name\":"))
            << rk::text::wide_to_utf8(message);
        EXPECT_NE(message.find(L"\"__transport.name\":\"InProcess v1\""), std::wstring::npos);

        EXPECT_TRUE(plugin->ProcessTrackAttributes({{L"x", L"1"}}));
        EXPECT_TRUE(capture.logger().Contains(L"Unable to retrieve the unique id"));
    }
    // Gone with its plug-in: records fall through to the null transport.
    EXPECT_FALSE(transport->Connect());
    v2::CEvent(L"evt-2").Send();
    EXPECT_EQ(queue->pushed.size(), 2u);
    EXPECT_TRUE(capture.logger().Contains(L"Not Initialized!"));
    EXPECT_TRUE(capture.logger().Contains(L"Nothing to send! (no attributes)"));
}

TEST(RestfulPlugin, ScriptMethods) {
    rk::sys::http::test::TestServer server(rk::sys::http::test::TestServer::Mode::kTls);
    server.handle("POST", "/collect", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content("got " + request.body, "text/plain");
    });
    HttpTransaction::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
    CRESTfulPlugin plugin(nullptr);
    bool ok = true;
    call(plugin, L"Connect", {ScriptVariable(server.wide_url("/collect"))}, &ok);
    EXPECT_FALSE(ok);  // no agent name yet
    EXPECT_EQ(call(plugin, L"GetLastErrorMessage").GetString(), L"Failed to connect to url");
    call(plugin, L"SetAgentName", {ScriptVariable(L"engine.js")});
    call(plugin, L"SetHttpMode", {ScriptVariable(L"post")});
    call(plugin, L"SetRequestHeaders", {ScriptVariable(L"Content-Type: application/json")});
    call(plugin, L"Connect", {ScriptVariable(server.wide_url("/collect"))}, &ok);
    EXPECT_TRUE(ok);
    const std::wstring response = call(plugin, L"SendRequest", {ScriptVariable(L"{}")}).GetString();
    EXPECT_TRUE(response.starts_with(L"{\"body\":\"got {}\",\"header\":\"HTTP/1.1 200 OK")) << rk::text::wide_to_utf8(response);
    call(plugin, L"Disconnect");
    EXPECT_NE(call(plugin, L"SendRequest", {ScriptVariable(L"{}")}).GetString().find(L"\"result\":\"0\""),
              std::wstring::npos);
    call(plugin, L"SendRequest", {ScriptVariable(1u)}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].header("Content-Type"), "application/json");
    HttpTransaction::SetTrustAnchors({});
}

TEST(AnalyticsLoggingPlugin, WrongArgumentsAreLoggedAndWriteNothing) {
    rk::sys::test::TempRoot root;
    DiraDoro::CRegKey key;
    ASSERT_EQ(key.Create(rk::sys::reg::HKEY_LOCAL_MACHINE, L"Software\\Corvane\\RkClientAnalytics"), 0);
    ASSERT_EQ(key.SetDWORDValue(L"enableLegacyAutomationLogs", 1), 0);
    ScopedLogCapture capture;
    {
        CAnalyticsLoggingPlugin plugin(nullptr);
        bool ok = false;
        call(plugin, L"WriteToRawTrackLog", {ScriptVariable(L"id")}, &ok);
        EXPECT_TRUE(ok);  // nothing reaches the script
        call(plugin, L"WriteToTransportsLog", {ScriptVariable(L"id"), ScriptVariable(L"t"), ScriptVariable(L"no"),
                                               ScriptVariable(L"p")});
        call(plugin, L"WriteToAutomationErrorLog", {ScriptVariable(L"id"), ScriptVariable(L"p"), ScriptVariable(L"e"),
                                                    ScriptVariable(L"extra")});
        EXPECT_FALSE(fs::exists(root.path() / "var/lib/Corvane/ClientAnalytics"));
        call(plugin, L"WriteToTransportsLog", {ScriptVariable(L"id"), ScriptVariable(L"RESTclient"),
                                               ScriptVariable(false), ScriptVariable(L"p")});
    }
    CAnalyticsLoggerHelper::CloseStreams();
    EXPECT_TRUE(capture.logger().Contains(L"Incorrect parameters: 1"));
    EXPECT_TRUE(capture.logger().Contains(L"Incorrect parameters: 4"));
    std::ifstream in(root.path() / "var/lib/Corvane/ClientAnalytics/TransportsLog.txt");
    std::string line;
    std::getline(in, line);
    EXPECT_NE(line.find("\"status\":\"Fail\""), std::string::npos) << line;
}

// An update engine that records what the plug-in asks of it.
class RecordingWrapper final : public internal::IUpdateWrapper {
public:
    bool Initialize(EventSender, bool verify, std::shared_ptr<XMLUpdater::v2::IXmlUpdaterLogger>) override {
        verified = verify;
        return initialize_result;
    }
    bool Update(const std::uint8_t*, std::uint64_t, int&) override { return false; }
    bool Update(const std::wstring& url, int& exit_code) override {
        updated.push_back(url);
        exit_code = 0;
        return true;
    }
    bool RegisterSubstitution(const std::wstring& name, XMLUpdater::v2::SubstitutionCreator) override {
        substitutions.push_back(name);
        return true;
    }
    bool RegisterCommand(const std::wstring&, XMLUpdater::v2::CommandCreator) override { return true; }
    bool SetVariable(const std::wstring& name, const std::wstring& value) override {
        variables.emplace_back(name, value);
        return true;
    }
    bool GetVariable(const std::wstring& name, std::wstring& value) override {
        for (const auto& [n, v] : variables) {
            if (n == name) value = v;
        }
        return true;
    }
    bool SetProxySettings(const XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*) override { return false; }
    bool fill_proxy_data_for_specific_url(const std::wstring&,
                                          XMLUpdater::v2::WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& out) override {
        out.lpszProxy = XMLUpdater::v2::GlobalAllocString(L"http=unreachable:1");
        return true;
    }
    bool initialize_result = true;
    bool verified = false;
    std::vector<std::wstring> substitutions;
    std::vector<std::pair<std::wstring, std::wstring>> variables;
    std::vector<std::wstring> updated;
};

TEST(BsiPlugin, VariablesProxyAndUpdate) {
    ScopedLogCapture capture;
    auto engine = std::make_shared<RecordingWrapper>();
    CBSIPlugin plugin(nullptr, {{L"Setting.X", L"1"}, {L"SDKVER", SdkVersionVariable(L"1,0,123,0")}},
                      [engine] { return engine; });
    EXPECT_EQ(call(plugin, L"GetName").GetString(), L"BSI Plugin");
    EXPECT_TRUE(engine->verified);
    EXPECT_EQ(engine->substitutions, (std::vector<std::wstring>{L"TXTVER", L"HASH"}));
    EXPECT_TRUE(call(plugin, L"Initialize", {ScriptVariable(L"C:\\base"), ScriptVariable(L"https://h/u.xml"),
                                             ScriptVariable(false)})
                    .GetBool());
    // An unreachable proxy is logged and the engine still goes on.
    EXPECT_TRUE(capture.logger().Contains(L"Failed to SetProxy by xml updater."));
    EXPECT_TRUE(capture.logger().Contains(L"Failed to check and setup proxy, trying to continue without proxy setup."));
    EXPECT_TRUE(capture.logger().Contains(L"proxy data for xmlUpdater, fAutoDetect: 0, lpszAutoConfigUrl: (null), "
                                          L"lpszProxy: http=unreachable:1, lpszProxyBypass: (null)"));
    EXPECT_EQ(engine->variables,
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"Setting.X", L"1"},
                                                                  {L"SDKVER", L"1.0.123.0"},
                                                                  {L".", L"C:\\base"},
                                                                  {L"MAIN_XML", L"https://h/u.xml"},
                                                                  {L"SELF_UPDATE_ALLOWED", L"FALSE"}}));
    EXPECT_EQ(call(plugin, L"Update").GetSignedInt(), 0);
    EXPECT_EQ(engine->updated, std::vector<std::wstring>{L"https://h/u.xml"});
    EXPECT_FALSE(plugin.SetVariable(nullptr, L"v"));
    EXPECT_TRUE(capture.logger().Contains(L"Invalid Input: variable name([null]) or value(v) is null"));
    EXPECT_FALSE(plugin.InitializeUpdate(nullptr, L"u", true));
    EXPECT_TRUE(capture.logger().Contains(L"Extract directory not set. Going to use current directory"));
    EXPECT_EQ(SdkVersionVariable(L"1.2"), L"1.2");

    auto broken = std::make_shared<RecordingWrapper>();
    broken->initialize_result = false;
    CBSIPlugin unready(nullptr, {{L"A", L"b"}}, [broken] { return broken; });
    EXPECT_TRUE(capture.logger().Contains(L"failed to initialize updater"));
    EXPECT_TRUE(capture.logger().Contains(L"Cannot set variable 'A'='b' due to initialization failure"));
    EXPECT_FALSE(call(unready, L"Initialize", {ScriptVariable(L"f"), ScriptVariable(L"u"), ScriptVariable(true)})
                     .GetBool());
    EXPECT_EQ(call(unready, L"Update").GetSignedInt(), 1);
}

TEST(BsiPlugin, RealEngineRunsASignedDocumentWithTheContentSubstitutions) {
    rk::sys::test::TempRoot root;
    const fs::path content = root.path() / "content";
    fs::create_directories(content);
    std::ofstream(content / "engine.js") << "// $FileVersion=2.5.0 \n";
    const auto key = rk::crypto::private_key_from_pem(
        rk::sys::test::read_file(fs::path(RK_SOURCE_DIR) / "profile/dev-keys/document.key.pem"));
    ASSERT_TRUE(key);
    const std::string document =
        "<UPDATEARRAY><UPDATE><UPDATECOMMANDS>"
        "<SETVAR Key=\"V\" Value=\"[TXTVER:[.]\\engine.js]|[HASH:MD5@[.]\\engine.js]|[SDKVER]\"/>"
        "</UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
    const auto signed_document = rk::xmlsig::sign_document(document, *key);
    ASSERT_TRUE(signed_document);
    rk::sys::http::test::TestServer server(rk::sys::http::test::TestServer::Mode::kTls);
    server.serve("/update_product.xml", *signed_document, "text/xml");
    XMLUpdater::v2::NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());

    std::shared_ptr<internal::CUpdateWrapper<XMLUpdater::v2::CUpdater>> engine;
    CBSIPlugin plugin(nullptr, {{L"SDKVER", L"1.0.123.0"}}, [&engine] {
        engine = std::make_shared<internal::CUpdateWrapper<XMLUpdater::v2::CUpdater>>();
        return engine;
    });
    ASSERT_TRUE(call(plugin, L"Initialize", {ScriptVariable(rk::sys::wide_path(content)),
                                             ScriptVariable(server.wide_url("/update_product.xml")),
                                             ScriptVariable(false)})
                    .GetBool());
    EXPECT_EQ(call(plugin, L"Update").GetSignedInt(), 0);
    std::wstring value;
    ASSERT_TRUE(engine->GetVariable(L"V", value));
    // The MD5 of "// $FileVersion=2.5.0 \n"; an unsigned document is refused in
    // Engine.ContentUpdateInstallsTheSignedScriptAndRecordsReachTheCollector.
    EXPECT_EQ(value, L"2.5.0|b72b34322c72182c40b178cde886de54|1.0.123.0");
    XMLUpdater::v2::NHttp::SetTrustAnchors({});
}

}  // namespace
}  // namespace Halden::Analytics
