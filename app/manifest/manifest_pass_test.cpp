// Whole processing passes: the polling loop's pass (rkupdatermodule's own
// code) over the real processor, a TLS server, the registry store in a
// temporary root, signed and unsigned installers run as child processes; and
// the operator tool's pass against the same server.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "app/daemon/updater_loop.h"
#include "app/manifest/rk_xml_processor.h"
#include "platform/system/http/test/test_server.h"
#include "platform/system/paths.h"
#include "platform/system/registry/registry.h"
#include "platform/system/test/command.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "telemetry/rk_updater_module_events.h"
#include "trust/test/content_maker.h"

namespace {

namespace fs = std::filesystem;
namespace reg = rk::sys::reg;
namespace http_test = rk::sys::http::test;
using Events = std::vector<std::pair<rk::DWORD, std::wstring>>;
using rk::sys::test::read_file;

// An installer that records its arguments in its working folder (the
// destination) and exits 3. The
// last command ends the script, so an appended signature is never read.
constexpr char kInstaller[] =
    "#!/bin/sh\nprintf '%s\\n' \"$@\" > args.txt\nexit 3\n";

class ManifestPass : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.running());
        reg::HKEY key = nullptr;
        ASSERT_EQ(reg::RegCreateKeyExW(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvane\\Product", 0, nullptr, 0,
                                       reg::KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  0);
        for (const auto& [name, value] : {std::pair{L"Version", L"2.1"}, std::pair{L"AffId", L"AFF"}}) {
            auto bytes = rk::text::wide_to_utf16le(std::wstring(value) + L'\0');
            ASSERT_EQ(reg::RegSetValueExW(key, name, 0, reg::REG_SZ, bytes.data(), static_cast<rk::DWORD>(bytes.size())),
                      0);
        }
        reg::RegCloseKey(key);
        fs::create_directories(root_.path() / "var" / "lib");
    }

    // The installer with an appended signature of the development code-signing
    // certificate (chain and root included), made as docs/codesign.md shows.
    std::string signed_installer() const {
        const fs::path keys = fs::path(RK_SOURCE_DIR) / "profile" / "dev-keys";
        const fs::path work = root_.path() / "signing";
        fs::create_directories(work);
        std::ofstream(work / "in", std::ios::binary) << kInstaller;
        std::ofstream(work / "cas.pem") << read_file(keys / "intermediate.crt") << read_file(keys / "root.crt");
        const std::string command = "openssl cms -sign -binary -noattr -nosmimecap -md sha256 -outform DER -in '" +
                                    (work / "in").native() + "' -out '" + (work / "sig.der").native() +
                                    "' -signer '" + (keys / "codesign.crt").native() + "' -inkey '" +
                                    (keys / "codesign.key.pem").native() + "' -certfile '" +
                                    (work / "cas.pem").native() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        const std::string sig = read_file(work / "sig.der");
        std::string info(12, '\0');
        info[2] = 2;  // id_type PKCS #7
        for (int i = 0; i < 4; ++i) {
            info[8 + i] = static_cast<char>((sig.size() >> (24 - 8 * i)) & 0xFF);
        }
        return kInstaller + sig + info + "~Module signature appended~\n";
    }

    std::wstring manifest(bool with_os, const wchar_t* extra_commands = L"") const {
        return std::wstring(L"<UPDATER><UPDATE><POLLINGTIMEINMINS value=\"30\"/><PRECONDITION><PREREQ>"
                            L"<SETVAR name=\"ISENABLED\" value=\"TRUE\"/><SETVAR name=\"RETRY\" value=\"FALSE\"/>") +
               (with_os ? L"<SETVAR name=\"OS\" value=\"10.0\"/>" : L"") +
               L"<SETVAR name=\"REGHIVE\" value=\"HKLM\"/><SETVAR name=\"COMPARE\" value=\"GE\"/></PREREQ>"
               L"<REGINFO><SETVAR name=\"VER\" value=\"SOFTWARE\\Corvane\\Product@Version\"/>"
               L"<SETVAR name=\"LMRA_AFFID\" value=\"SOFTWARE\\Corvane\\Product@AffId\"/></REGINFO>"
               L"<COMPAREVALS><SETVAR name=\"VER\" value=\"2.0\" type=\"VER\"/></COMPAREVALS></PRECONDITION>"
               L"<UPDATECOMMANDS><SETVAR name=\"DOWNLOADURL\" value=\"" +
               server_.wide_url("/dl/affiliates/0/setup") +
               L"\"/><SETVAR name=\"DESTDIR\" value=\"[DIR:CSIDL_COMMON_APPDATA]\\Corvane\"/>"
               L"<SETVAR name=\"PARAMS\" value=\"/S /v\"/><SETVAR name=\"VALIDATE\" value=\"TRUE\"/>" +
               extra_commands + L"</UPDATECOMMANDS></UPDATE></UPDATER>";
    }

    // A polling loop over the real processor, as the daemon makes it.
    std::unique_ptr<rk::app::UpdaterLoop> make_loop() const {
        auto env = std::make_shared<rk::app::UpdaterEnvironment>(rk::app::system_updater_environment());
        rk::sys::OsVersion windows10;
        windows10.major = 10;
        env->os_info = std::make_shared<rk::sys::FixedOsInfo>(windows10);
        env->download_options.ca_file = http_test::dev_root_ca();
        rk::app::UpdaterLoopParts parts;
        parts.make_processor = [env] { return MakeRkXMLProcessor(env); };
        return std::make_unique<rk::app::UpdaterLoop>(parts);
    }

    // One pass of `loop`; the events it reported, in order.
    static Events run_pass(rk::app::UpdaterLoop& loop, const std::wstring& body, std::wstring& polling) {
        Events events;
        const auto previous = rk::telemetry::SetUpdaterEventObserver(
            [&](rk::DWORD id, const std::wstring& detail) { events.emplace_back(id, detail); });
        polling = loop.ProcessUpdateManifest(body);
        rk::telemetry::SetUpdaterEventObserver(previous);
        return events;
    }

    fs::path destination() const { return root_.path() / "var" / "lib" / "Corvane"; }

    rk::sys::test::TempRoot root_;
    http_test::TestServer server_{http_test::TestServer::Mode::kTls};
};

TEST_F(ManifestPass, DeleteAfterRunAndRetryOff) {
    server_.serve("/dl/affiliates//AFF/setup", signed_installer());
    // The same loop twice: RETRY "FALSE" keeps the second pass quiet.
    const auto loop = make_loop();
    std::wstring polling;
    const std::wstring body = manifest(true, L"<SETVAR name=\"DELETE\" value=\"TRUE\"/>");
    const Events first = run_pass(*loop, body, polling);
    EXPECT_EQ(first, (Events{{66, L""}, {67, L"preconditionsuccess"}, {71, L"executesuccesswithexitcode:3"}}));
    EXPECT_EQ(polling, L"30");
    EXPECT_FALSE(fs::exists(destination()));
    EXPECT_TRUE(run_pass(*loop, body, polling).empty());
    EXPECT_EQ(server_.request_count(), 1u);
}

// rkctl pass against the same server: the decisions and events printed, the
// installer downloaded and checked but, with --dry-run, not started.
TEST_F(ManifestPass, OperatorToolDryRun) {
    server_.serve("/dl/affiliates//AFF/setup", signed_installer());
    const fs::path manifest_file = root_.path() / "lmrupdate.xml";
    std::ofstream(manifest_file) << rk::text::wide_to_utf8(manifest(false));
    server_.serve("/xml/lmrupdate.xml", rk::text::wide_to_utf8(manifest(false)));
    for (const std::string& source : {manifest_file.native(), server_.url("/xml/lmrupdate.xml")}) {
        const auto [status, out] = rk::sys::test::run_command(std::string(RKCTL_PATH) + " pass '" + source +
                                                               "' --dry-run --ca-file '" +
                                                               http_test::dev_root_ca().native() + "'");
        EXPECT_EQ(status, 0) << out;
        for (const char* line : {"parse: xmlparsingsuccess\n", "event 66 PrecondCheckStarted detail=\"\" payload=\"\"\n",
                                 "registry: LMRA_AFFID = \"AFF\"\n", "precondition: preconditionsuccess\n",
                                 "event 67 PrecondCheckSuccess detail=\"preconditionsuccess\" "
                                 "payload=\"errcode=errcode:preconditionsuccess\"\n",
                                 "installer: downloadsuccess\n", "dry run: no event 70 or 71\n",
                                 "next poll: in 30 minutes\n"}) {
            EXPECT_NE(out.find(line), std::string::npos) << line << "\n--- output:\n" << out;
        }
        EXPECT_NE(out.find("dry run: not starting \""), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(destination() / "args.txt"));
    }
}

// A real pass (the operator tool's, in a process of its own) with trust
// content on the machine that lists another certificate as the maker's: the
// signed installer is refused and never runs.
TEST_F(ManifestPass, TrustContentListingAnotherMakerRefusesTheInstaller) {
    namespace tt = rk::trust::test;
    const fs::path content = root_.path() / "var" / "lib" / "Corvane" / "KTV" / "content" / "av-trust" / "1";
    fs::create_directories(content);
    ASSERT_EQ(tt::make_cabinet(content,
                               {{"rk-av-trust.bin", tt::content_json(1, {{tt::kForeignSha1, "Foreign Software Ltd", 0}})}},
                               tt::Signer::kCorvane),
              "");
    server_.serve("/dl/affiliates//AFF/setup", signed_installer());
    server_.serve("/xml/lmrupdate.xml", rk::text::wide_to_utf8(manifest(false)));
    const auto [status, out] = rk::sys::test::run_command(std::string(RKCTL_PATH) + " pass '" +
                                                           server_.url("/xml/lmrupdate.xml") + "' --log --ca-file '" +
                                                           http_test::dev_root_ca().native() + "'");
    EXPECT_EQ(status, 1) << out;  // a clean failure
    // --log shows every level: the refusal is a level-1 line.
    for (const char* text : {"IsCorvaneSigned failed for : ", "[trust] parsed content version 1 from file 'rk-av-trust.bin' (1/1)",
                             "using lib, result: 5 [[embedded_signed][chained]]", "event 70 DwnldExecuteFailed detail=\"signaturevalidationfailed\""}) {
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n--- output:\n" << out;
    }
    EXPECT_FALSE(fs::exists(destination() / "args.txt"));
}

}  // namespace
