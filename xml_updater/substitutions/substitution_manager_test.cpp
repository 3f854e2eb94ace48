#include "xml_updater/substitution_manager.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "platform/system/osinfo/os_info.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/test/log_capture.h"
#include "xml_updater/substitutions/token_expander.h"

namespace XMLUpdater::v2 {
namespace {

std::shared_ptr<rk::sys::OsInfo> machine(const wchar_t* arch, rk::DWORD major = 6, rk::DWORD minor = 1,
                                         rk::DWORD build = 7) {
    rk::sys::OsVersion v;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.machine = arch;
    return std::make_shared<rk::sys::FixedOsInfo>(v);
}

std::wstring expand(CSubstitutionManager& m, std::wstring text) {
    EXPECT_TRUE(m.Substitute(text));
    return text;
}

TEST(SubstitutionManager, PlatformVariable) {
    const struct {
        const wchar_t* machine;
        const wchar_t* plat;
    } cases[] = {
        {L"x86_64", L"64"}, {L"i686", L"32"},     {L"i386", L"32"},   {L"aarch64", L"ARM64"},
        {L"armv7l", L"ARM32"}, {L"armv8l", L"ARM32"}, {L"riscv64", L""}, {L"", L""},
    };
    for (const auto& c : cases) {
        CSubstitutionManager m(machine(c.machine));
        EXPECT_EQ(expand(m, L"[plat]"), c.plat) << c.machine;
    }
}

TEST(SubstitutionManager, BuiltInVariables) {
    CSubstitutionManager m(machine(L"x86_64", 6, 1, 0));
    EXPECT_EQ(expand(m, L"[os]"), L"6.1.0.0");
    EXPECT_EQ(expand(m, L"[?]"), L"0");
    EXPECT_EQ(expand(m, L"[UPDATER_VERSION]"), L"1.1");
    EXPECT_EQ(expand(m, L"[PLAT]"), L"!UNKNOWN");
    EXPECT_EQ(expand(m, L"[DIR]"), L"!UNKNOWN");  // without a colon: a variable

    // "." is the executable's folder with its separator, ready for a file name.
    const auto parts = rk::sys::split_path(rk::sys::own_image_path());
    EXPECT_EQ(expand(m, L"[.]"), parts.directory);
    EXPECT_TRUE(expand(m, L"[.]").ends_with(L"/"));

    test::LogCapture log;
    CSubstitutionManager unreadable(machine(L"x86_64", 0, 0, 0));
    EXPECT_EQ(expand(unreadable, L"[os]"), L"!UNKNOWN");
    EXPECT_EQ(log.Level(L"Failed to retrieve kernel verison"), 1);

    CSubstitutionManager real;
    if (rk::sys::system_os_info()->version().machine == L"x86_64") {
        EXPECT_EQ(expand(real, L"[plat]"), L"64");
    }
    EXPECT_NE(expand(real, L"[os]"), L"!UNKNOWN");
}

TEST(SubstitutionManager, Variables) {
    CSubstitutionManager m(machine(L"x86_64"));
    std::wstring value;
    EXPECT_FALSE(m.GetVariable(L"x", value));
    EXPECT_TRUE(m.SetVariable(L"x", L"1"));
    EXPECT_TRUE(m.SetVariable(L"x", L"2"));
    EXPECT_TRUE(m.GetVariable(L"x", value));
    EXPECT_EQ(value, L"2");
    EXPECT_TRUE(m.SetVariable(L"plat", L"32"));  // built-ins are ordinary variables
    EXPECT_EQ(expand(m, L"[plat]"), L"32");

    m.SetVariable(L"ref", L"[x]");
    m.SetVariable(L"late", L"-[x]");
    EXPECT_EQ(expand(m, L"[ref]"), L"2");
    EXPECT_EQ(expand(m, L"[late]"), L"-[x]");
}

class Recorder final : public ISubstitution {
public:
    explicit Recorder(std::wstring* seen) : seen_(seen) {}
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override {
        *seen_ = arguments;
        return manager != nullptr ? L"<" + arguments + L">" : L"no manager";
    }

private:
    std::wstring* seen_;
};

std::unique_ptr<ISubstitution> make_null() { return nullptr; }

TEST(SubstitutionManager, Registration) {
    test::LogCapture log;
    CSubstitutionManager m(machine(L"x86_64"));
    std::wstring seen;
    EXPECT_TRUE(m.RegisterSubstitution(L"REC", std::make_unique<Recorder>(&seen)));
    EXPECT_EQ(expand(m, L"[REC:[plat]]"), L"<64>");
    EXPECT_EQ(seen, L"64");
    EXPECT_EQ(expand(m, L"[rec:x]"), L"!UNKNOWN");
    EXPECT_EQ(expand(m, L"[NOPE:x]"), L"!UNKNOWN");

    const struct {
        const wchar_t* keyword;
        bool with_handler;
        const wchar_t* message;
    } failures[] = {
        {L"", true, L"invalid argument"},
        {L"X", false, L"invalid argument"},
        {L"REC", true, L"substitution already exists"},
        {L"DATE", true, L"substitution already exists"},
    };
    for (const auto& f : failures) {
        log.Clear();
        std::unique_ptr<ISubstitution> handler;
        if (f.with_handler) {
            handler = std::make_unique<Recorder>(&seen);
        }
        EXPECT_FALSE(m.RegisterSubstitution(f.keyword, std::move(handler))) << f.keyword;
        EXPECT_EQ(log.Level(f.message), 1) << f.keyword;
    }
    log.Clear();
    EXPECT_FALSE(m.RegisterSubstitution(L"Y", static_cast<SubstitutionCreator>(nullptr)));
    EXPECT_EQ(log.Level(L"invalid factory"), 1);
    // A creator that yields nothing is an invalid argument.
    EXPECT_FALSE(m.RegisterSubstitution(L"Y", &make_null));
    EXPECT_TRUE(log.Has(L"invalid argument"));
}

// A handler that expands a token of its own keyword again never returns on
// its own; the manager stops the nesting.
class Recursive final : public ISubstitution {
public:
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override {
        ++calls;
        std::wstring text = L"[AGAIN:" + arguments + L"]";
        manager->Substitute(text);
        return text;
    }
    int calls = 0;
};

class Throwing final : public ISubstitution {
public:
    std::wstring Substitute(const std::wstring&, CSubstitutionManager*) override { throw std::runtime_error("boom"); }
};

// Runaway nesting and self-referencing variables are stopped; a throwing
// handler leaves the text expanded up to it.
TEST(SubstitutionManager, RunawayAndFailingExpansionsEnd) {
    test::LogCapture log;
    CSubstitutionManager m(machine(L"x86_64"));
    auto handler = std::make_unique<Recursive>();
    Recursive* raw = handler.get();
    ASSERT_TRUE(m.RegisterSubstitution(L"AGAIN", std::move(handler)));
    ASSERT_TRUE(m.RegisterSubstitution(L"THROW", std::make_unique<Throwing>()));
    m.SetVariable(L"loop", L"[loop]");

    EXPECT_EQ(expand(m, L"[AGAIN:x]"), L"!UNKNOWN");
    EXPECT_EQ(raw->calls, 16);
    EXPECT_TRUE(log.Has(L"Substitution nested deeper than 16 calls, text left as it is"));
    EXPECT_EQ(expand(m, L"[plat][THROW:[?]][UPDATER_VERSION]"), L"[plat][THROW:0]1.1");
    EXPECT_EQ(log.Level(L"Substitution failed, text expanded up to the failure: boom"), 1);
    EXPECT_EQ(expand(m, L"[loop]"), L"!UNKNOWN");
    EXPECT_TRUE(log.Has(L"Token [loop] expands into itself, stopped after 64 expansions")) << log.Dump();
}

}  // namespace
}  // namespace XMLUpdater::v2
