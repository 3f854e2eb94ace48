// The engine against the outside: documents over HTTPS (Update from a URL,
// REDIRECT), the test hook with its real test library, and log.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "platform/config/reg_key.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/hound.h"
#include "xml_updater/test/engine_test_support.h"
#include "xml_updater/updater.h"

namespace XMLUpdater::v2 {
namespace {

namespace reg = rk::sys::reg;
using rk::sys::http::test::RawServer;
using rk::sys::http::test::TestServer;
using test::bytes;
using test::FakeSender;
using rk::sys::test::read_file;
using test::RecordingLogger;

class Online : public testing::Test {
protected:
    void SetUp() override {
        NHttp::SetTrustAnchors(rk::sys::http::test::dev_root_ca());
        Hound::ReactivateForTesting();
        ASSERT_TRUE(server_.running());
        ASSERT_TRUE(updater_.Initialize(sender_, false, logger_, nullptr, nullptr));
    }
    void TearDown() override {
        NHttp::SetTrustAnchors({});
        Hound::ReactivateForTesting();
    }
    std::wstring Var(const std::wstring& name) {
        std::wstring value;
        return updater_.GetVariable(name, value) ? value : L"<none>";
    }

    rk::sys::test::TempRoot root_;
    TestServer server_{TestServer::Mode::kTls};
    std::shared_ptr<RecordingLogger> logger_ = std::make_shared<RecordingLogger>();
    std::shared_ptr<FakeSender> sender_ = std::make_shared<FakeSender>();
    CUpdater updater_;
};

std::string commands(const std::string& body) {
    return "<UPDATEARRAY><UPDATE><UPDATECOMMANDS>" + body + "</UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
}

TEST_F(Online, UpdateFromUrlAndRedirectChains) {
    server_.serve("/exit.xml", commands("<SETVAR Key=\"inner\" Value=\"ran\"/><EXIT ReturnCode=\"3\"/>"));
    server_.serve("/exit-update.xml", commands("<EXIT_UPDATE ReturnCode=\"-9\"/>"));
    server_.serve("/middle.xml", commands("<REDIRECT Location=\"[base]/exit-update.xml\"/><SETVAR Key=\"middle\" Value=\"after\"/>"));
    server_.serve("/top-exit.xml",
                  commands("<REDIRECT Location=\"[base]/exit.xml\"/><SETVAR Key=\"after\" Value=\"[?]\"/>"));
    server_.serve("/top-exit-update.xml",
                  commands("<REDIRECT Location=\"[base]/middle.xml\"/><SETVAR Key=\"after\" Value=\"yes\"/>"));
    server_.serve("/top-missing.xml", commands("<REDIRECT Location=\"[base]/missing.xml\"/>"));
    updater_.SetVariable(L"base", rk::text::utf8_to_wide(server_.url("")));

    int exit_code = 99;
    EXPECT_TRUE(updater_.Update(server_.wide_url("/top-exit.xml"), exit_code));
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(Var(L"inner"), L"ran");
    EXPECT_EQ(Var(L"after"), L"3");  // EXIT lets the caller go on with "?" set
    EXPECT_EQ(server_.requests().front().header("Cache-Control"), "no-cache");

    // A 404 on the way: both attempts fail, REDIRECT fails, the document fails.
    EXPECT_FALSE(updater_.Update(server_.wide_url("/top-missing.xml"), exit_code));
    EXPECT_TRUE(logger_->Contains(L"HTTP status (404) error (0), url: " + server_.wide_url("/missing.xml")));
    EXPECT_TRUE(logger_->Contains(L"XML command (REDIRECT) failed"));
    EXPECT_TRUE(logger_->Contains(L"Xml Update failed, error: 1"));

    // EXIT_UPDATE two documents down stops every document above it.
    EXPECT_TRUE(updater_.Update(server_.wide_url("/top-exit-update.xml"), exit_code));
    EXPECT_EQ(Var(L"middle"), L"<none>");
    EXPECT_EQ(Var(L"after"), L"3");
    // The middle document's own exit code (0) is what the top one sees: only
    // Update from a buffer reports the recorded EXIT_UPDATE code.
    EXPECT_EQ(Var(L"?"), L"0");
    EXPECT_TRUE(updater_.exit_update());
    const std::string d = commands("");
    EXPECT_TRUE(updater_.Update(bytes(d), d.size(), exit_code));
    EXPECT_EQ(exit_code, -9);
}

// A proxy script (fetched over https) names the proxy of the document
// download and of the per-URL query; the proxy carries the request.
TEST_F(Online, ProxyScriptNamesTheProxy) {
    TestServer proxy(TestServer::Mode::kPlain);
    ASSERT_TRUE(proxy.running());
    const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
    server_.serve("/proxy.pac", "function FindProxyForURL(url, host) {\n"
                                "  return dnsDomainIs(host, '.example.invalid') ? 'PROXY " + address + "; DIRECT' : 'DIRECT';\n"
                                "}\n");
    proxy.serve("http://updates.example.invalid/doc.xml", commands("<SETVAR Key=\"via\" Value=\"proxy\"/>"));
    const std::wstring pac = server_.wide_url("/proxy.pac");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    config.lpszAutoConfigUrl = const_cast<wchar_t*>(pac.c_str());
    ASSERT_TRUE(updater_.SetProxySettings(&config));

    int exit_code = 0;
    ASSERT_TRUE(updater_.Update(L"http://updates.example.invalid/doc.xml", exit_code));
    EXPECT_EQ(Var(L"via"), L"proxy");
    ASSERT_EQ(proxy.request_count(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, "http://updates.example.invalid/doc.xml");

    rk::sys::test::ScopedEnv http("http_proxy", std::nullopt);
    rk::sys::test::ScopedEnv https("https_proxy", std::nullopt);
    rk::sys::test::ScopedEnv all("all_proxy", std::nullopt);
    rk::sys::test::ScopedEnv automatic("auto_proxy", rk::text::wide_to_utf8(pac));
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG out;
    ASSERT_TRUE(updater_.fill_proxy_data_for_specific_url(L"https://cdn.example.invalid/x", out));
    ASSERT_NE(out.lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(out.lpszProxy), rk::text::utf8_to_wide(address));
    GlobalFreeString(out.lpszProxy);
    out.lpszProxy = nullptr;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG direct;
    ASSERT_TRUE(updater_.fill_proxy_data_for_specific_url(L"https://other.test/x", direct));
    EXPECT_EQ(direct.lpszProxy, nullptr);

    // A script that cannot be fetched is logged with WinHTTP's number and
    // the download goes on without it (and fails: the name does not resolve).
    const std::wstring missing = server_.wide_url("/missing.pac");
    config.lpszAutoConfigUrl = const_cast<wchar_t*>(missing.c_str());
    ASSERT_TRUE(updater_.SetProxySettings(&config));
    EXPECT_FALSE(updater_.Update(L"http://updates.example.invalid/doc.xml", exit_code));
    EXPECT_TRUE(logger_->Contains(L"# SetAutoProxyUrl: Can't get proxy. Err: 12167"));
    EXPECT_EQ(proxy.request_count(), 1u);
    rk::sys::test::ScopedEnv unfetchable("auto_proxy", rk::text::wide_to_utf8(missing));
    EXPECT_FALSE(updater_.fill_proxy_data_for_specific_url(L"https://cdn.example.invalid/x", out));
}

TEST_F(Online, ServerAnswersThatFailTheDownload) {
    server_.handle("GET", "/304", [](const httplib::Request&, httplib::Response& r) { r.status = 304; });
    server_.handle("GET", "/206", [](const httplib::Request&, httplib::Response& r) {
        r.status = 206;
        r.set_header("Content-Range", "bytes 0-13/14");
        r.set_content("<UPDATEARRAY/>", "text/xml");
    });
    server_.handle("GET", "/500", [](const httplib::Request&, httplib::Response& r) {
        r.status = 500;
        r.set_content("<UPDATEARRAY/>", "text/xml");
    });
    server_.handle("GET", "/chunked", [](const httplib::Request&, httplib::Response& r) {
        r.set_chunked_content_provider("text/xml", [](std::size_t, httplib::DataSink& sink) {
            sink.write("<UPDATEARRAY/>", 14);
            sink.done();
            return true;
        });
    });
    server_.serve("/empty", "");
    const struct {
        std::string target;
        std::wstring log;
    } cases[] = {
        {"/304", L"HTTP status (304) error (0), url: "},
        {"/206", L"HTTP status (206) error (0), url: "},
        {"/500", L"HTTP status (500) error (0), url: "},
        {"/chunked", L"HTTP query content length (12150), url: "},
        {"/empty", L""},
    };
    for (const auto& c : cases) {
        logger_->lines.clear();
        server_.clear_log();
        int exit_code = 0;
        const std::wstring url = server_.wide_url(c.target);
        EXPECT_FALSE(updater_.Update(url, exit_code)) << c.target;
        EXPECT_EQ(server_.request_count(), 2u) << c.target;  // with the proxy, then without
        if (!c.log.empty()) {
            EXPECT_TRUE(logger_->Contains(c.log + url)) << c.target << testing::PrintToString(logger_->Dump());
        }
    }
}

TEST_F(Online, WrongContentLengthFailsWithoutHanging) {
    const struct {
        std::string response;
        std::wstring log_start;
    } cases[] = {
        // fewer bytes than announced, then the connection closes
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n<UPDATEARRAY/>", L"HTTP read data failed ("},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\nConnection: close\r\n\r\n<U", L"HTTP query content length ("},
        {"HTTP/1.1 200 OK\r\nContent-Length: 999999999\r\nConnection: close\r\n\r\n<U", L"Unable to allocate 999999999 bytes"},
        // beyond 2 GiB: refused at the length, never "Unable to allocate -... bytes"
        {"HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\nConnection: close\r\n\r\n<U", L"HTTP query content length ("},
    };
    for (const auto& c : cases) {
        RawServer raw(c.response);
        logger_->lines.clear();
        int exit_code = 0;
        EXPECT_FALSE(updater_.Update(rk::text::utf8_to_wide(raw.url("/doc.xml")), exit_code));
        bool found = false;
        for (const auto& line : logger_->lines) {
            found = found || line.text.starts_with(c.log_start);
        }
        EXPECT_TRUE(found) << testing::PrintToString(logger_->Dump());
    }
}

TEST_F(Online, StoreXmlOnDisk) {
    const std::string document = commands("<SETVAR Key=\"x\" Value=\"1\"/>");
    server_.serve("/stored-copy.xml", document);
    updater_.SetVariable(L"STORE_XML_ON_DISK", L"TRUE");
    int exit_code = 0;
    EXPECT_TRUE(updater_.Update(server_.wide_url("/stored-copy.xml"), exit_code));
    const std::wstring image = rk::sys::own_image_path();
    const auto copy = *rk::sys::to_host_path(image.substr(0, image.rfind(L'/')) + L"/Download/stored-copy.xml");
    EXPECT_EQ(read_file(copy), document);
    std::filesystem::remove(copy);
}

class Hook : public Online {
protected:
    void Configure(std::map<std::wstring, std::wstring> values) {
        events_ = root_.path() / "events.txt";
        values.try_emplace(L"path", rk::text::utf8_to_wide(RK_XML_HOUND_TESTLIB));
        values[L"events"] = rk::text::utf8_to_wide(events_.string());
        DiraDoro::CRegKey key;
        ASSERT_EQ(key.Create(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\ROZuvevor"), 0);
        for (const auto& [name, value] : values) {
            ASSERT_EQ(key.SetStringValue(name.c_str(), value.c_str()), 0);
        }
        Hound::ReactivateForTesting();
    }
    std::string Events() { return read_file(events_); }
    std::filesystem::path events_;
};

TEST_F(Hook, InertWithoutConfiguration) {
    EXPECT_FALSE(Hound::IsActive());
    Configure({{L"failinit", L"1"}});
    EXPECT_FALSE(Hound::IsActive());  // the controller refused
    Configure({{L"path", L"/nonexistent/lib.so"}});
    EXPECT_FALSE(Hound::IsActive());
    EXPECT_TRUE(logger_->Contains(L"Failed to load library /nonexistent/lib.so. Error 0x0000007E"))
        << testing::PrintToString(logger_->Dump());
    // Documents run unchanged with an inert hook.
    const std::string d = commands("<SETVAR Key=\"k\" Value=\"v\"/>");
    int exit_code = 0;
    EXPECT_EQ(updater_.ExecuteUpdate(bytes(d), d.size(), exit_code), 0);
    EXPECT_EQ(Var(L"k"), L"v");
}

TEST_F(Hook, SignatureSkipCommandInterceptionAndEvents) {
    Configure({{L"sigcheck", L"true"}, {L"intercept", L"SETVAR"}, {L"answer", L"true"}});
    ASSERT_TRUE(Hound::IsActive());
    CUpdater verifying;
    ASSERT_TRUE(verifying.Initialize(sender_, true, logger_, nullptr, nullptr));
    const std::string document =
        "<UPDATEARRAY><UPDATE><PRECONDITIONARRAY><PRECONDITION Type=\"NOPE\"/></PRECONDITIONARRAY></UPDATE>"
        "<UPDATE><UPDATECOMMANDS><SETVAR Key=\"k\" Value=\"a\\b&quot;\"/><EXIT ReturnCode=\"7\"/></UPDATECOMMANDS>"
        "</UPDATE></UPDATEARRAY>";
    int exit_code = 0;
    EXPECT_EQ(verifying.ExecuteUpdate(bytes(document), document.size(), exit_code), 0);  // unsigned, yet run
    EXPECT_EQ(exit_code, 7);
    std::wstring value;
    EXPECT_FALSE(verifying.GetVariable(L"k", value));  // intercepted: the handler did not run
    const std::string events = Events();
    for (const char* expected : {
             "OnSigCheck\t\n",
             "OnStartSection\t{section=\"StartXML\"; nodeText=\"\"}\n",
             "OnStartSection\t{section=\"CommandArray\"; nodeText=\"\"}\n",
             "OnInterestingCommand\t{args={CMD=\"SETVAR\", Key=\"k\", TagValue=\"\", Value=\"a\\\\b\\\"\"}, "
             "rawargs={CMD=\"SETVAR\", Key=\"k\", TagValue=\"\", Value=\"a\\\\b\\\"\"}}\n",
             "OnExitResult\t{result=7}\n",
             "OnEndSection\t\n",
         }) {
        EXPECT_NE(events.find(expected), std::string::npos) << expected << "\n" << events;
    }
    EXPECT_NE(events.find("OnStartSection\t{section=\"Update\"; nodeText=\"<UPDATE>"), std::string::npos) << events;
}

TEST_F(Hook, AnswersOtherThanExactlyTrueAreNo) {
    Configure({{L"sigcheck", L"TRUE"}, {L"intercept", L"SETVAR"}, {L"answer", L"yes"}});
    CUpdater verifying;
    ASSERT_TRUE(verifying.Initialize(sender_, true, logger_, nullptr, nullptr));
    const std::string document = commands("<SETVAR Key=\"k\" Value=\"v\"/>");
    int exit_code = 0;
    EXPECT_EQ(verifying.ExecuteUpdate(bytes(document), document.size(), exit_code), 3);
    EXPECT_EQ(updater_.ExecuteUpdate(bytes(document), document.size(), exit_code), 1);  // intercepted, answered no
    EXPECT_TRUE(logger_->Contains(L"XML command (SETVAR) failed"));
}

TEST_F(Hook, ServesDocumentsAndSurvivesItsOwnFailures) {
    const std::wstring url = L"https://hook.invalid/doc.xml";
    Configure({{L"url", url}, {L"xml", rk::text::utf8_to_wide(commands("<SETVAR Key=\"from\" Value=\"hook\"/>"))},
               {L"fail", L"OnStartSection"}});
    int exit_code = 0;
    EXPECT_TRUE(updater_.Update(url, exit_code));
    EXPECT_EQ(Var(L"from"), L"hook");
    // Every OnStartSection failed: logged, and the walk went on.
    EXPECT_TRUE(logger_->Contains(L"std::exception caught: XML hound handler failed."));
}

TEST(XmlUpdaterLogFile, ErrorsGoToLogTxtWithoutALogger) {
    rk::sys::test::TempRoot root;
    SetXmlUpdaterLogger(nullptr);
    // A link where the Corvane folder belongs is removed, not followed.
    const auto program_data = root.path() / "var/lib";
    std::filesystem::create_directories(program_data);
    std::filesystem::create_directories(root.path() / "elsewhere");
    std::filesystem::create_directory_symlink(root.path() / "elsewhere", program_data / "Corvane");

    XmlUpdaterLog(kXmlLogError, L"a.cpp", L"A::B", 42, L"failed %d: %s", 5, std::wstring(L"x"));
    XmlUpdaterLog(kXmlLogWarning, L"a.cpp", L"A::B", 43, L"warning");
    XmlUpdaterLog(0, L"a.cpp", L"A::C", 44, L"%ls", std::wstring(600, L'z'));

    const std::wstring path = XmlUpdaterLogFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(std::filesystem::is_symlink(program_data / "Corvane"));
    EXPECT_TRUE(std::filesystem::is_empty(root.path() / "elsewhere"));
    const std::string text = read_file(*rk::sys::to_host_path(path));
    const std::regex expected(
        "\r\n[0-9]+\tFile:a\\.cpp\tFunction:A::B\tLine:42\tfailed 5: x"
        "\r\n[0-9]+\tFile:a\\.cpp\tFunction:A::C\tLine:44\tFailed to create log message string"
        "\r\n[0-9]+\tFile:a\\.cpp\tFunction:A::C\tLine:44\tz{511}");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

}  // namespace
}  // namespace XMLUpdater::v2
