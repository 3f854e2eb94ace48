#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/config/reg_key.h"
#include "platform/system/registry/registry.h"
#include "platform/system/test/temp_root.h"
#include "xml_updater/command_manager.h"
#include "xml_updater/commands/bool_parse.h"
#include "xml_updater/commands/registry_data.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/test/engine_test_support.h"

namespace XMLUpdater::v2 {
namespace {

namespace reg = rk::sys::reg;
using test::FakeSender;
using test::RecordingLogger;

TEST(RegistryData, BuildsWhatWindowsStores) {
    struct Case {
        const wchar_t* type;
        const wchar_t* value;
        bool ok;
        rk::DWORD reg_type;
        std::vector<std::uint8_t> bytes;
        const wchar_t* log;
    };
    const Case cases[] = {
        {L"STR", L"ab", true, reg::REG_SZ, {'a', 0, 'b', 0, 0, 0}, nullptr},
        {L"STR", L"", true, reg::REG_SZ, {0, 0}, nullptr},
        {L"DWORD", L"4294967295", true, reg::REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, nullptr},
        {L"NUM", L"258", true, reg::REG_DWORD, {2, 1, 0, 0}, nullptr},
        {L"DWORD", L"4294967296", false, 0, {}, L"Unable to convert 4294967296 to an integer type"},
        {L"DWORD", L"-1", false, 0, {}, L"Unable to convert -1 to an integer type"},
        {L"DWORD", L"12abc", false, 0, {}, L"Unable to convert 12abc to an integer type"},
        {L"NUM", L"", false, 0, {}, L"Unable to convert  to an integer type"},
        {L"QWORD", L"18446744073709551615", true, reg::REG_QWORD, std::vector<std::uint8_t>(8, 0xFF), nullptr},
        {L"QWORD", L"18446744073709551616", false, 0, {}, L"Unable to convert 18446744073709551616 to an integer type"},
        {L"BIN", L"0A1", true, reg::REG_BINARY, {0x0A, 0x10}, nullptr},
        {L"BIN", L"deadBEEF", true, reg::REG_BINARY, {0xDE, 0xAD, 0xBE, 0xEF}, nullptr},
        {L"BIN", L"", true, reg::REG_BINARY, {}, nullptr},
        {L"BIN", L"0G", false, 0, {}, L"Unable to convert 0G to hex"},
        {L"str", L"x", false, 0, {}, L"Unknown registry key type: str"},
    };
    RecordingLogger logger;
    SetXmlUpdaterLogger(&logger);
    for (const Case& c : cases) {
        logger.lines.clear();
        RegistryData data;
        EXPECT_EQ(BuildRegistryData(c.type, c.value, data), c.ok) << c.type << L" " << c.value;
        if (c.ok) {
            EXPECT_EQ(data.type, c.reg_type);
            EXPECT_EQ(data.bytes, c.bytes) << c.type << L" " << c.value;
        } else {
            EXPECT_TRUE(logger.Contains(c.log)) << logger.Dump();
        }
    }
    SetXmlUpdaterLogger(nullptr);
}

TEST(TryParseBool, OnlyExactWords) {
    RecordingLogger logger;
    SetXmlUpdaterLogger(&logger);
    bool value = false;
    EXPECT_TRUE(TryParseBool(L"TRUE", value));
    EXPECT_TRUE(value);
    EXPECT_TRUE(TryParseBool(L"FALSE", value));
    EXPECT_FALSE(value);
    for (const wchar_t* text : {L"true", L"1", L"", L" TRUE"}) {
        value = true;
        EXPECT_FALSE(TryParseBool(text, value)) << text;
        EXPECT_TRUE(value);
    }
    EXPECT_TRUE(logger.Contains(L"Unable to convert string true to bool"));
    SetXmlUpdaterLogger(nullptr);
}

class Commands : public testing::Test {
protected:
    void SetUp() override {
        SetXmlUpdaterLogger(&logger_);
        substitutions_->SetVariable(L"v", L"expanded");
    }
    void TearDown() override { SetXmlUpdaterLogger(nullptr); }

    bool Run(CCommandManager& manager, const std::wstring& keyword, AttributeMap attributes) {
        attributes[L"CMD"] = keyword;
        return manager.Execute(keyword, attributes);
    }

    static std::wstring QueryString(reg::HKEY root, const wchar_t* key, const wchar_t* name, reg::REGSAM view = 0) {
        DiraDoro::CRegKey handle;
        if (handle.Open(root, key, reg::KEY_READ | view) != 0) {
            return L"<no key>";
        }
        std::wstring value;
        return handle.QueryStringValue(name, value) == 0 ? value : L"<no value>";
    }

    rk::sys::test::TempRoot root_;
    RecordingLogger logger_;
    std::shared_ptr<CSubstitutionManager> substitutions_ = std::make_shared<CSubstitutionManager>();
    std::shared_ptr<FakeSender> sender_ = std::make_shared<FakeSender>();
};

TEST_F(Commands, RegistryCommandsWriteExpandedValues) {
    CCommandManager manager(sender_, substitutions_);
    EXPECT_TRUE(Run(manager, L"REGISTRY",
                    {{L"Key", L"SOFTWARE\\T"}, {L"Type", L"STR"}, {L"Value", L"[v]"}, {L"Name", L"n"}}));
    EXPECT_EQ(QueryString(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"n"), L"expanded");
    EXPECT_TRUE(Run(manager, L"SET_REGISTRY",
                    {{L"Key", L"SOFTWARE\\T"}, {L"Type", L"STR"}, {L"Value", L"d"}, {L"hive", L"HKEY_CURRENT_USER"}}));
    EXPECT_EQ(QueryString(reg::HKEY_CURRENT_USER, L"SOFTWARE\\T", L""), L"d");
    EXPECT_TRUE(Run(manager, L"REGISTRY",
                    {{L"Key", L"SOFTWARE\\U"}, {L"Type", L"STR"}, {L"Value", L"m"}, {L"hive", L"hkey_current_user"}}));
    EXPECT_EQ(QueryString(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\U", L""), L"m");  // unknown hive: machine
    // The 32-bit view lands under WOW6432Node, the 64-bit one does not.
    EXPECT_TRUE(Run(manager, L"SETREG32", {{L"Key", L"SOFTWARE\\V"}, {L"Type", L"STR"}, {L"Value", L"32"}}));
    EXPECT_TRUE(Run(manager, L"SETREG64", {{L"Key", L"SOFTWARE\\V"}, {L"Type", L"STR"}, {L"Value", L"64"}}));
    EXPECT_EQ(QueryString(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\V", L""), L"32");
    EXPECT_EQ(QueryString(reg::HKEY_LOCAL_MACHINE, L"SOFTWARE\\V", L""), L"64");

    // A missing attribute, and a value the conversions above refuse.
    EXPECT_FALSE(Run(manager, L"REGISTRY", {{L"Key", L"K"}, {L"Type", L"STR"}}));
    EXPECT_TRUE(logger_.Contains(L"Unable to read Key or Type or Value attribute of REGISTRY command"));
    EXPECT_FALSE(Run(manager, L"REGISTRY", {{L"Key", L"K"}, {L"Type", L"BIN"}, {L"Value", L"0G"}}));
    EXPECT_EQ(QueryString(reg::HKEY_LOCAL_MACHINE, L"K", L""), L"<no key>");
}

TEST_F(Commands, LogLevels) {
    CCommandManager manager(sender_, substitutions_);
    const struct {
        const wchar_t* level;
        bool ok;
        unsigned logged_level;
    } cases[] = {{L"0", true, 0}, {L"4", true, 4}, {L"2", true, 2}, {L"x", true, 1}, {L"5", false, 0}, {L"-1", false, 0}};
    for (const auto& c : cases) {
        logger_.lines.clear();
        EXPECT_EQ(Run(manager, L"LOG", {{L"Level", c.level}, {L"Message", L"m [v]"}}), c.ok) << c.level;
        bool found = false;
        for (const auto& line : logger_.lines) {
            found = found || (line.text == L"BSI XML Log: m expanded" && line.level == c.logged_level);
        }
        EXPECT_EQ(found, c.ok) << c.level << logger_.Dump();
    }
    EXPECT_TRUE(logger_.Contains(L"Invalid log level: -1"));
    EXPECT_FALSE(Run(manager, L"LOG", {{L"Level", L"1"}}));
    EXPECT_TRUE(logger_.Contains(L"Unable to read level and/or message attribute of log command"));
}

TEST_F(Commands, TelemetryCommands) {
    CCommandManager manager(sender_, substitutions_);
    EXPECT_TRUE(Run(manager, L"SEND_EVENT", {{L"ec", L"c"}, {L"ea", L"[v]"}, {L"r2", L"two"}}));
    EXPECT_TRUE(Run(manager, L"SEND_EVENT", {{L"ea", L"only"}, {L"Name", L"legacy"}}));
    EXPECT_FALSE(Run(manager, L"SEND_EVENT", {{L"ea", L"only"}}));
    ASSERT_EQ(sender_->events.size(), 2u);
    EXPECT_EQ(sender_->events[0].fields, (std::vector<std::wstring>{L"c", L"expanded", L"default", L"(null)", L"two",
                                                                     L"(null)", L"(null)", L"(null)"}));
    EXPECT_EQ(sender_->events[1].fields[0], L"Invalid");
    EXPECT_EQ(sender_->events[1].fields[1], L"legacy");
    EXPECT_EQ(sender_->events[1].fields[2], L"(null)");
    EXPECT_TRUE(logger_.Contains(L"Unexpected call to legacy SEND_EVENT command"));

    EXPECT_TRUE(Run(manager, L"SET_CD", {{L"FullName", L"full"}, {L"Name", L"short"}, {L"Value", L"[v]"}}));
    EXPECT_TRUE(Run(manager, L"SET_CD", {{L"Name", L"short"}, {L"Value", L"1"}}));
    EXPECT_FALSE(Run(manager, L"SET_CD", {{L"Value", L"1"}}));
    EXPECT_EQ(sender_->dimensions, (std::vector<std::wstring>{L"full=expanded", L"short=1"}));
    sender_->dimension_result = false;
    EXPECT_FALSE(Run(manager, L"SET_CD", {{L"Name", L"n"}, {L"Value", L"1"}}));

    CCommandManager silent(nullptr, substitutions_);
    EXPECT_TRUE(Run(silent, L"SET_CD", {}));
    EXPECT_TRUE(Run(silent, L"SEND_EVENT", {}));
    EXPECT_TRUE(logger_.Contains(L"Encountered SET_CD, but no event reporter was defined"));
}

class CountingCommand : public ICommand, public CCommandFactorySupport<CountingCommand> {
public:
    bool Execute(AttributeMap&, CSubstitutionManager*, std::shared_ptr<NTelemetry::NAdHoc::IEventSender>) override {
        return ++calls > 0;
    }
    static inline int calls = 0;
};

TEST_F(Commands, RegistryOfHandlers) {
    CCommandManager manager(sender_, substitutions_);
    EXPECT_TRUE(manager.HasCommand(L"EXECUTE_LOCAL"));
    EXPECT_TRUE(manager.HasCommand(L"EXTRACT_CAB_LOCAL"));
    EXPECT_TRUE(manager.RegisterCommand(L"LATER", &CountingCommand::Create));
    EXPECT_TRUE(Run(manager, L"LATER", {}));
    EXPECT_EQ(CountingCommand::calls, 1);
    EXPECT_FALSE(manager.RegisterCommand(L"SETVAR", &CountingCommand::Create));
    EXPECT_TRUE(logger_.Contains(L"command (SETVAR) already exists"));
    EXPECT_FALSE(manager.RegisterCommand(L"X", CommandCreator{nullptr}));
    EXPECT_TRUE(logger_.Contains(L"invalid factory"));
    EXPECT_FALSE(manager.RegisterCommand(L"", &CountingCommand::Create));
    EXPECT_TRUE(logger_.Contains(L"invalid argument"));
    EXPECT_FALSE(Run(manager, L"setvar", {}));
    EXPECT_TRUE(logger_.Contains(L"command (setvar) doesn't exist or is invalid"));
}

}  // namespace
}  // namespace XMLUpdater::v2
