#include "xml_updater/updater.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/crypto/ec_key_codec.h"
#include "platform/system/test/temp_root.h"
#include "xml_updater/document_signer.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/test/engine_test_support.h"

namespace XMLUpdater::v2 {
namespace {

using test::bytes;
using test::FakeSender;
using test::RecordingLogger;

// Test handlers: RECORD appends "CMD:TagValue" (expanded) to a journal,
// FAIL fails; precondition IS holds when the expanded Name equals Value and
// counts its evaluations.
struct Journal {
    std::vector<std::wstring> commands;
    int preconditions = 0;
};

class RecordCommand : public ICommand {
public:
    explicit RecordCommand(Journal& journal) : journal_(journal) {}
    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender>) override {
        std::wstring text = attributes[L"TagValue"];
        substitutions->Substitute(text);
        journal_.commands.push_back(attributes[L"CMD"] + L":" + text);
        return true;
    }

private:
    Journal& journal_;
};

class FailCommand : public ICommand {
public:
    bool Execute(AttributeMap&, CSubstitutionManager*, std::shared_ptr<NTelemetry::NAdHoc::IEventSender>) override {
        return false;
    }
};

class IsPrecondition : public IPrecondition {
public:
    explicit IsPrecondition(Journal& journal) : journal_(journal) {}
    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override {
        ++journal_.preconditions;
        arguments = attributes;
        std::wstring name = attributes.contains(L"Name") ? attributes.at(L"Name") : L"!UNKNOWN";
        substitutions->Substitute(name);
        return name == attributes.at(L"Value");
    }

private:
    Journal& journal_;
};

class Engine : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Init(updater_, false)); }

    bool Init(CUpdater& updater, bool verify) {
        if (!updater.Initialize(sender_, verify, logger_, nullptr, nullptr)) {
            return false;
        }
        updater.RegisterCommand(L"RECORD", std::make_unique<RecordCommand>(journal_));
        updater.RegisterCommand(L"FAIL", std::make_unique<FailCommand>());
        return updater.RegisterPrecondition(L"IS", std::make_unique<IsPrecondition>(journal_));
    }

    int Run(const std::string& document, int& exit_code) {
        return updater_.ExecuteUpdate(bytes(document), document.size(), exit_code);
    }

    rk::sys::test::TempRoot root_;
    std::shared_ptr<RecordingLogger> logger_ = std::make_shared<RecordingLogger>();
    std::shared_ptr<FakeSender> sender_ = std::make_shared<FakeSender>();
    Journal journal_;
    CUpdater updater_;
};

std::string doc(const std::string& updates) { return "<UPDATEARRAY>" + updates + "</UPDATEARRAY>"; }

TEST_F(Engine, WalkResults) {
    struct Case {
        const char* name;
        std::string document;
        int status;
        int exit_code;
        std::vector<std::wstring> commands;
        int preconditions;
        std::wstring log;  // a line that must have been logged, or empty
    };
    const std::string pass = R"(<PRECONDITION Type="IS" Name="a">a</PRECONDITION>)";
    const std::string fail = R"(<PRECONDITION Type="IS" Name="a">b</PRECONDITION>)";
    const Case cases[] = {
        {"empty array", doc(""), 0, 0, {}, 0, L""},
        {"no UPDATE children", doc("<OTHER/><X>t</X>"), 0, 0, {}, 0, L""},
        {"array below the root is not found", "<ROOT>" + doc("") + "</ROOT>", 1, 0, {}, 0,
         L"Malformed XML, no UPDATEARRAY element"},
        {"updates in document order",
         doc("<UPDATE><UPDATECOMMANDS><RECORD>1</RECORD><RECORD>2</RECORD></UPDATECOMMANDS></UPDATE>"
             "<UPDATE><UPDATECOMMANDS><RECORD>3</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:1", L"RECORD:2", L"RECORD:3"}, 0, L""},
        {"first failing precondition stops evaluation and skips the update",
         doc("<UPDATE><PRECONDITIONARRAY>" + fail + pass + "</PRECONDITIONARRAY>"
             "<UPDATECOMMANDS><RECORD>skipped</RECORD></UPDATECOMMANDS></UPDATE>"
             "<UPDATE><PRECONDITIONARRAY>" + pass + pass + "</PRECONDITIONARRAY>"
             "<UPDATECOMMANDS><RECORD>next</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:next"}, 3, L""},
        {"only the first PRECONDITIONARRAY counts",
         doc("<UPDATE><PRECONDITIONARRAY>" + pass + "</PRECONDITIONARRAY><PRECONDITIONARRAY>" + fail +
             "</PRECONDITIONARRAY><UPDATECOMMANDS><RECORD>x</RECORD></UPDATECOMMANDS>"
             "<UPDATECOMMANDS><RECORD>y</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:x"}, 1, L""},
        {"empty PRECONDITION text tests an empty Value despite the attribute",
         doc(R"(<UPDATE><PRECONDITIONARRAY><PRECONDITION Type="IS" Name="" Value="zz"/></PRECONDITIONARRAY>)"
             "<UPDATECOMMANDS><RECORD>ran</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:ran"}, 1, L""},
        {"missing Type fails the document",
         doc("<UPDATE><PRECONDITIONARRAY><PRECONDITION Name=\"a\">a</PRECONDITION></PRECONDITIONARRAY>"
             "<UPDATECOMMANDS><RECORD>x</RECORD></UPDATECOMMANDS></UPDATE>"),
         1, 0, {}, 0, L"XML precondition failed - no Type specified"},
        {"unknown command fails the document",
         doc("<UPDATE><UPDATECOMMANDS><RECORD>1</RECORD><NOPE/><RECORD>2</RECORD></UPDATECOMMANDS></UPDATE>"), 1, 0,
         {L"RECORD:1"}, 0, L"command (NOPE) doesn't exist or is invalid"},
        {"failing command stops the document",
         doc("<UPDATE><UPDATECOMMANDS><FAIL/><RECORD>2</RECORD></UPDATECOMMANDS></UPDATE>"
             "<UPDATE><UPDATECOMMANDS><RECORD>3</RECORD></UPDATECOMMANDS></UPDATE>"),
         1, 0, {}, 0, L"XML command (FAIL) failed"},
        {"EXIT_XML ends with success and its code",
         doc("<UPDATE><UPDATECOMMANDS><RECORD>1</RECORD><EXIT_XML ReturnCode=\"7\"/><RECORD>2</RECORD>"
             "</UPDATECOMMANDS></UPDATE><UPDATE><UPDATECOMMANDS><RECORD>3</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 7, {L"RECORD:1"}, 0, L""},
        {"EXIT with a negative code", doc("<UPDATE><UPDATECOMMANDS><EXIT ReturnCode=\"-2147483648\"/></UPDATECOMMANDS></UPDATE>"),
         0, INT32_MIN, {}, 0, L""},
        {"EXIT ReturnCode from a variable",
         doc("<UPDATE><UPDATECOMMANDS><SETVAR Key=\"rc\" Value=\"12\"/><EXIT ReturnCode=\"[rc]\"/></UPDATECOMMANDS></UPDATE>"),
         0, 12, {}, 0, L""},
        {"ReturnCode with trailing text", doc("<UPDATE><UPDATECOMMANDS><EXIT_XML ReturnCode=\"7x\"/></UPDATECOMMANDS></UPDATE>"),
         1, 0, {}, 0, L"Unable to convert ReturnCode into int"},
        {"empty ReturnCode", doc("<UPDATE><UPDATECOMMANDS><EXIT ReturnCode=\"\"/></UPDATECOMMANDS></UPDATE>"), 1, 0, {},
         0, L"Unable to convert ReturnCode into int"},
        {"ReturnCode out of range", doc("<UPDATE><UPDATECOMMANDS><EXIT ReturnCode=\"2147483648\"/></UPDATECOMMANDS></UPDATE>"),
         1, 0, {}, 0, L"Unable to convert ReturnCode into int"},
        {"missing ReturnCode", doc("<UPDATE><UPDATECOMMANDS><EXIT_XML/></UPDATECOMMANDS></UPDATE>"), 1, 0, {}, 0,
         L"Couldn't find the ReturnCode attribute of EXIT command"},
        {"variables flow from SETVAR to later commands",
         doc("<UPDATE><UPDATECOMMANDS><SETVAR Key=\"v\" Value=\"one\"/><RECORD>[v]-[missing]</RECORD>"
             "</UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:one-!UNKNOWN"}, 0, L""},
        {"comments and text between commands are not commands",
         doc("<UPDATE><UPDATECOMMANDS>text<!-- c --><RECORD>1</RECORD></UPDATECOMMANDS></UPDATE>"), 0, 0,
         {L"RECORD:1"}, 0, L""},
        {"character references reach the handlers as characters",
         doc("<UPDATE><UPDATECOMMANDS><SETVAR Key=\"v\" Value=\"&#xE9;&#x4E00;\"/>"
             "<RECORD>caf&#xE9; &#233;&amp;&#x1F600;[v]</RECORD></UPDATECOMMANDS></UPDATE>"),
         0, 0, {L"RECORD:caf\u00E9 \u00E9&\U0001F600\u00E9\u4E00"}, 0, L""},
        {"names are case-sensitive", doc("<update><UPDATECOMMANDS><RECORD>1</RECORD></UPDATECOMMANDS></update>"), 0, 0,
         {}, 0, L""},
    };
    for (const Case& c : cases) {
        CUpdater updater;
        journal_ = {};
        logger_->lines.clear();
        ASSERT_TRUE(Init(updater, false));
        int exit_code = 0;
        EXPECT_EQ(updater.ExecuteUpdate(bytes(c.document), c.document.size(), exit_code), c.status) << c.name;
        EXPECT_EQ(exit_code, c.exit_code) << c.name;
        EXPECT_EQ(journal_.commands, c.commands) << c.name;
        EXPECT_EQ(journal_.preconditions, c.preconditions) << c.name;
        if (!c.log.empty()) {
            EXPECT_TRUE(logger_->Contains(c.log)) << c.name << "\n" << testing::PrintToString(logger_->Dump());
        }
    }
}

TEST_F(Engine, BadInputEndsWithParseStatus) {
    std::string deep = "<UPDATEARRAY>";
    for (int i = 0; i < 20000; ++i) {
        deep += "<a x='/>'>";
    }
    struct Case {
        const char* name;
        std::string document;
        int status;
        std::wstring log;
    };
    const Case cases[] = {
        {"empty", "", 4, L"Unable to convert XML to UTF-16: "},
        {"not XML", "hello world", 4, L"Unable to parse XML: expected <"},
        {"characters whose low byte is special", "<UPDATEARRAY a='\xC4\xBC\xE4\xB8\x80'/>", 0, L""},
        {"cut short", "<UPDATEARRAY><UPDATE><UPDATECOMMANDS><RECORD>1</REC", 4, L""},
        {"unclosed", "<UPDATEARRAY><UPDATE>", 4, L""},
        {"absurdly deep", deep, 4, L"Unable to parse XML: element nesting too deep"},
        {"invalid UTF-8", "<UPDATEARRAY>\xC3\x28</UPDATEARRAY>", 4,
         L"Unable to convert XML to UTF-16: [invalid UTF-8 text]"},
        {"starts with a bracket", "[x]<UPDATEARRAY/>", 4, L"Unable to convert XML to UTF-16: [x]<UPDATEARRAY/>"},
        {"a second byte-order mark", "\xEF\xBB\xBF\xEF\xBB\xBF<UPDATEARRAY/>", 4, L"Unable to parse XML: expected <"},
        {"a UTF-8 mark after the UTF-16 one", test::utf16le_with_bom("\xEF\xBB\xBF<UPDATEARRAY/>"), 4,
         L"Unable to parse XML: expected <"},
        {"a byte-order mark read as Latin-1 and saved as UTF-8", "\xC3\xAF\xC2\xBB\xC2\xBF<UPDATEARRAY/>", 4,
         L"Unable to parse XML: expected <"},
        {"NUL bytes only", std::string(8, '\0'), 1, L"Malformed XML, no UPDATEARRAY element"},
    };
    for (const Case& c : cases) {
        logger_->lines.clear();
        int exit_code = 0;
        EXPECT_EQ(Run(c.document, exit_code), c.status) << c.name;
        if (!c.log.empty()) {
            EXPECT_TRUE(logger_->Contains(c.log)) << c.name;
        }
    }
    int exit_code = 0;
    EXPECT_EQ(updater_.ExecuteUpdate(nullptr, 0, exit_code), 4);
    EXPECT_TRUE(logger_->Contains(L"invalid input"));
}

TEST_F(Engine, HugeAttributeValuesPassThrough) {
    const std::string big(2 * 1024 * 1024, 'x');
    int exit_code = 0;
    EXPECT_EQ(Run(doc("<UPDATE><UPDATECOMMANDS><SETVAR Key=\"big\" Value=\"" + big +
                      "\"/></UPDATECOMMANDS></UPDATE>"),
                  exit_code),
              0);
    std::wstring value;
    ASSERT_TRUE(updater_.GetVariable(L"big", value));
    EXPECT_EQ(value.size(), big.size());
}

TEST_F(Engine, EncodingsParseAlike) {
    const std::string text =
        "<?xml version=\"1.0\"?><UPDATEARRAY><UPDATE><UPDATECOMMANDS><RECORD>gr\xC3\xBC\xC3\x9F "
        "\xF0\x9F\x98\x80</RECORD></UPDATECOMMANDS></UPDATE></UPDATEARRAY>";
    std::string odd_utf16 = test::utf16le_with_bom(text) + "X";
    const std::string forms[] = {text, "\xEF\xBB\xBF" + text, test::utf16le_with_bom(text), odd_utf16};
    for (const std::string& form : forms) {
        journal_ = {};
        int exit_code = 0;
        EXPECT_EQ(Run(form, exit_code), 0);
        EXPECT_EQ(journal_.commands, std::vector<std::wstring>{L"RECORD:gr\u00FC\u00DF \U0001F600"});
    }
    // An unpaired surrogate in UTF-16 is a conversion failure.
    const std::string bad = std::string("\xFF\xFE") + std::string("\x00\xD8<\x00", 4);
    int exit_code = 0;
    EXPECT_EQ(Run(bad, exit_code), 4);
    EXPECT_TRUE(logger_->Contains(L"Unable to convert XML to UTF-16: [invalid UTF-16 text]"));
}

// Without a working event sender the engine stays uninitialised: status 2.
TEST_F(Engine, InitializeNeedsAWorkingEventSender) {
    CUpdater updater;
    EXPECT_FALSE(updater.Initialize(nullptr, false, logger_, nullptr, nullptr));
    auto refusing = std::make_shared<FakeSender>();
    refusing->initialize_result = false;
    logger_->lines.clear();
    EXPECT_FALSE(updater.Initialize(refusing, false, logger_, nullptr, nullptr));
    EXPECT_TRUE(logger_->Contains(L"Failed to initialize event reporter"));
    int exit_code = 0;
    const std::string d = doc("");
    EXPECT_EQ(updater.ExecuteUpdate(bytes(d), d.size(), exit_code), 2);
    EXPECT_FALSE(updater.Update(bytes(d), d.size(), exit_code));
    std::wstring value;
    EXPECT_TRUE(updater.SetVariable(L"a", L"b"));
    EXPECT_FALSE(updater.GetVariable(L"a", value));
}

TEST_F(Engine, ExitUpdateStaysSetForLaterDocuments) {
    int exit_code = 0;
    const std::string first = doc("<UPDATE><UPDATECOMMANDS><EXIT_UPDATE ReturnCode=\"5\"/></UPDATECOMMANDS></UPDATE>");
    EXPECT_TRUE(updater_.Update(bytes(first), first.size(), exit_code));
    EXPECT_EQ(exit_code, 5);
    EXPECT_TRUE(logger_->Contains(L"Exit update command triggered. Exiting..."));
    // A later document stops after its first successful command and still
    // reports the recorded code.
    const std::string second = doc("<UPDATE><UPDATECOMMANDS><RECORD>1</RECORD><RECORD>2</RECORD></UPDATECOMMANDS></UPDATE>");
    exit_code = 0;
    EXPECT_TRUE(updater_.Update(bytes(second), second.size(), exit_code));
    EXPECT_EQ(exit_code, 5);
    EXPECT_EQ(journal_.commands, std::vector<std::wstring>{L"RECORD:1"});
}

class SignedDocuments : public Engine {
protected:
    std::string Sign(const std::string& document, rk::xmlsig::TrailerForm form) {
        std::ifstream in(std::string(RK_SOURCE_DIR) + "/profile/dev-keys/document.key.pem");
        const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto key = rk::crypto::private_key_from_pem(pem);
        EXPECT_TRUE(key);
        return key ? rk::xmlsig::sign_document(document, *key, form).value_or("") : "";
    }
};

TEST_F(SignedDocuments, SignatureGate) {
    CUpdater verifying;
    ASSERT_TRUE(Init(verifying, true));
    const std::string document = doc("<UPDATE><UPDATECOMMANDS><RECORD>signed</RECORD></UPDATECOMMANDS></UPDATE>");
    const std::string xml_form = Sign(document, rk::xmlsig::TrailerForm::kXmlComment);
    const std::string plain_form = Sign(document, rk::xmlsig::TrailerForm::kPlain);
    ASSERT_FALSE(xml_form.empty());
    std::string tampered = xml_form;
    tampered[document.find("signed")] = 'S';
    std::string trailer_touched = xml_form;
    trailer_touched[document.size() + 1] = '#';  // inside the opening, not read
    struct Case {
        const char* name;
        std::string buffer;
        int status;
        std::vector<std::wstring> commands;
    };
    const Case cases[] = {
        {"XML comment trailer", xml_form, 0, {L"RECORD:signed"}},
        {"plain trailer", plain_form, 0, {L"RECORD:signed"}},
        {"UTF-16 signed bytes", Sign(test::utf16le_with_bom(document), rk::xmlsig::TrailerForm::kPlain), 0,
         {L"RECORD:signed"}},
        {"a byte of the signed part changed", tampered, 3, {}},
        {"a byte of the opening changed", trailer_touched, 0, {L"RECORD:signed"}},
        {"no trailer", document, 3, {}},
        {"shorter than a trailer", "<a/>", 3, {}},
        {"empty", "", 3, {}},
    };
    // Each buffer is run borrowed and taken over (the entry that releases
    // the bytes once decoded must parse only the signed part too).
    for (const Case& c : cases) {
        for (const bool taken_over : {false, true}) {
            journal_ = {};
            logger_->lines.clear();
            int exit_code = 0;
            const int status =
                taken_over
                    ? verifying.ExecuteUpdate(std::vector<std::uint8_t>(c.buffer.begin(), c.buffer.end()), exit_code)
                    : verifying.ExecuteUpdate(bytes(c.buffer), c.buffer.size(), exit_code);
            EXPECT_EQ(status, c.status) << c.name << (taken_over ? " (taken over)" : "");
            EXPECT_EQ(journal_.commands, c.commands) << c.name;
            if (c.status == 3) {
                EXPECT_TRUE(logger_->Contains(L"Signature check failed for xml string.")) << c.name;
            }
        }
    }
    // Without the flag a signed buffer is parsed whole: the comment trailer
    // is still XML, the plain one is text after the root and fails.
    int exit_code = 0;
    EXPECT_EQ(Run(xml_form, exit_code), 0);
    EXPECT_EQ(Run(plain_form, exit_code), 4);
}

TEST_F(Engine, ProxySettingsAndTheProxyForAUrlFromTheEnvironment) {
    EXPECT_TRUE(updater_.SetProxySettings(nullptr));
    EXPECT_TRUE(updater_.proxy_settings().auto_detect);
    EXPECT_FALSE(updater_.proxy_settings().use_settings);

    std::wstring proxy = L"http=p:8080", bypass = L"<local>", pac = L"http://wpad/pac";
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    config.lpszProxy = proxy.data();
    config.lpszProxyBypass = bypass.data();
    EXPECT_TRUE(updater_.SetProxySettings(&config));
    EXPECT_EQ(updater_.proxy_settings().proxy, proxy);
    EXPECT_EQ(updater_.proxy_settings().bypass, bypass);
    EXPECT_TRUE(updater_.proxy_settings().use_settings);

    config.lpszProxyBypass = nullptr;
    EXPECT_TRUE(updater_.SetProxySettings(&config));
    EXPECT_FALSE(updater_.proxy_settings().bypass.has_value());

    config.lpszAutoConfigUrl = pac.data();
    EXPECT_TRUE(updater_.SetProxySettings(&config));
    EXPECT_EQ(updater_.proxy_settings().auto_config_url, pac);
    EXPECT_TRUE(updater_.proxy_settings().use_auto_config_url);
    EXPECT_EQ(updater_.proxy_settings().proxy, proxy);  // untouched by the URL form

    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG empty;
    const ProxySettings before = updater_.proxy_settings();
    EXPECT_TRUE(updater_.SetProxySettings(&empty));
    EXPECT_EQ(updater_.proxy_settings().proxy, before.proxy);

    // The proxy for a URL comes from the environment.
    rk::sys::test::ScopedEnv http("http_proxy", "proxy.example:3128");
    rk::sys::test::ScopedEnv https("https_proxy", std::nullopt);
    rk::sys::test::ScopedEnv all("all_proxy", std::nullopt);
    rk::sys::test::ScopedEnv no("no_proxy", "internal.example");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG out;
    out.lpszProxy = GlobalAllocString(L"stale");
    ASSERT_TRUE(updater_.fill_proxy_data_for_specific_url(L"http://a.example/x", out));
    ASSERT_NE(out.lpszProxy, nullptr);
    EXPECT_EQ(std::wstring(out.lpszProxy), L"http=proxy.example:3128");
    ASSERT_NE(out.lpszProxyBypass, nullptr);
    EXPECT_NE(std::wstring(out.lpszProxyBypass).find(L"internal.example"), std::wstring::npos);
    GlobalFreeString(out.lpszProxy);
    GlobalFreeString(out.lpszProxyBypass);

    rk::sys::test::ScopedEnv none("http_proxy", std::nullopt);
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG direct;
    ASSERT_TRUE(updater_.fill_proxy_data_for_specific_url(L"http://a.example/x", direct));
    EXPECT_EQ(direct.lpszProxy, nullptr);
}

}  // namespace
}  // namespace XMLUpdater::v2
