#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "script_host/argument_check.h"
#include "script_host/plugin_factory.h"
#include "script_host/plugin_object.h"
#include "script_host/plugins/test/plugin_calls.h"
#include "script_host/script_operation_invoker.h"

namespace Corvane::Script {
namespace {

using test::call;
using test::error_of;

TEST(ArgumentCheck, TypeWordsAgainstCalls) {
    const ScriptVariable s(L"x"), b(true), i(std::uint32_t{7}), empty;
    using V = std::vector<ScriptVariable>;
    const struct {
        const char* name;
        ArgumentSpec spec;
        V args;
        bool valid;
        std::uint32_t checked;
    } cases[] = {
        {"no words accept anything", {}, {i, i}, true, 0},
        {"string, optional boolean: one", {kArgString, kArgBoolean | kArgOptional}, {s}, true, 1},
        {"string, optional boolean: two", {kArgString, kArgBoolean | kArgOptional}, {s, b}, true, 2},
        {"string, optional boolean: none", {kArgString, kArgBoolean | kArgOptional}, {}, false, 0},
        {"string, optional boolean: number first", {kArgString, kArgBoolean | kArgOptional}, {i, b}, false, 0},
        {"optional present with wrong type", {kArgString, kArgBoolean | kArgOptional}, {s, i}, false, 1},
        {"extra arguments ignored", {kArgInteger}, {i, s, b}, true, 1},
        {"two required, one given", {kArgString, kArgString}, {s}, false, 1},
        {"any type", {kArgAny, kArgAny}, {empty, i}, true, 2},
        {"any implies optional", {kArgString, kArgAny}, {s}, true, 1},
        {"empty value is type 0", {kArgString}, {empty}, false, 0},
        {"object required", {kArgObject}, {s}, false, 0},
    };
    for (const auto& c : cases) {
        const auto r = CheckArguments(static_cast<std::uint32_t>(c.args.size()), c.args.empty() ? nullptr : c.args.data(),
                                      static_cast<std::uint32_t>(c.spec.size()), c.spec.empty() ? nullptr : c.spec.data());
        EXPECT_EQ(r.valid, c.valid) << c.name;
        if (r.valid) {
            EXPECT_EQ(r.checked, c.checked) << c.name;
        }
    }
    const std::uint32_t one[] = {kArgString | kArgOptional};
    EXPECT_FALSE(CheckArguments(1, nullptr, 1, one).valid) << "a count without an array";
    EXPECT_FALSE(CheckArguments(0, &s, 1, one).valid) << "an array without a count";
    EXPECT_FALSE(CheckArguments(1, &s, 1, nullptr).valid) << "expected arguments without their words";
    EXPECT_TRUE(CheckArguments(0, nullptr, 1, one).valid);

}

class EchoPlugin : public PluginObject {
public:
    EchoPlugin()
        : PluginObject(nullptr, {Method(L"Echo", {kArgAny}, this, &EchoPlugin::Echo),
                                 Method(L"Fail", {}, this, &EchoPlugin::Fail),
                                 Method(L"Keep", {kArgString}, this, &EchoPlugin::Keep)}) {}
    std::wstring GetName() override { return L"Echo Plugin"; }
    std::wstring GetVersion() override { return L"5"; }
    bool result_was_empty = false;

private:
    void Echo(ScriptVariable& result, std::uint32_t, const ScriptVariable* args) { result = args[0]; }
    void Fail(ScriptVariable&, std::uint32_t, const ScriptVariable*) { throw std::runtime_error("disk on fire"); }
    void Keep(ScriptVariable& result, std::uint32_t, const ScriptVariable*) { result_was_empty = result.IsEmpty(); }
};

TEST(PluginObject, CommonMethodsArgumentChecksAndTheLastError) {
    EchoPlugin p;
    EXPECT_EQ(call(p, L"GetName").GetString(), L"Echo Plugin");
    EXPECT_EQ(call(p, L"GetVersion").GetString(), L"5");
    EXPECT_EQ(call(p, L"GetLastErrorMessage"), ScriptVariable(L""));
    EXPECT_EQ(call(p, L"Echo", {ScriptVariable(std::uint32_t{42})}).GetInt(), 42u);
    EXPECT_EQ(p.GetWrapper()->MethodNames(),
              (std::vector<std::wstring>{L"GetName", L"GetVersion", L"GetLastErrorMessage", L"Echo", L"Fail", L"Keep"}));

    call(p, L"Keep", {ScriptVariable(L"a")});
    EXPECT_TRUE(p.result_was_empty) << "the result is cleared before the handler runs";

    EXPECT_EQ(error_of(p, L"Fail"), "disk on fire");
    EXPECT_EQ(call(p, L"GetLastErrorMessage").GetString(), L"disk on fire");
    EXPECT_EQ(error_of(p, L"Keep", {ScriptVariable(true)}),
              "Incorrect number of parameters or invalid types. Number of parameters passed: 1");
    EXPECT_THROW(call(p, L"Keep"), std::logic_error);
    EXPECT_EQ(error_of(p, L"Nope"), "Object method not implemented: Nope");
    EXPECT_EQ(p.GetLastErrorMessage(), L"Object method not implemented: Nope");
}

TEST(PluginFactory, OwnCreatorsBeforeProcessWideOnesAndUnknownNamesGiveEmpty) {
    CPluginFactory::RegisterProcessWide(L"test.shared", [](IScriptEnvironmentFactory*) {
        return std::make_shared<EchoPlugin>();
    });
    CPluginFactory::RegisterProcessWide(L"test.both", [](IScriptEnvironmentFactory*) { return nullptr; });
    CPluginFactory factory(nullptr);
    auto own = std::make_shared<EchoPlugin>();
    factory.Register(L"test.both", [own](IScriptEnvironmentFactory*) { return own; });

    EXPECT_EQ(call(factory, L"Create", {ScriptVariable(L"test.both")}).GetObject(), own);
    EXPECT_EQ(call(factory, L"Create", {ScriptVariable(L"test.shared")}).GetObject()->GetName(), L"Echo Plugin");
    EXPECT_TRUE(call(factory, L"Create", {ScriptVariable(L"test.unknown")}).IsEmpty());
    EXPECT_TRUE(call(factory, L"CreateFromGuid", {ScriptVariable(L"{00000000-0000-0000-0000-000000000000}")}).IsEmpty());
    EXPECT_THROW(call(factory, L"Create", {ScriptVariable(std::uint32_t{1})}), std::logic_error);

    factory.Register(L"test.both", [](IScriptEnvironmentFactory*) { return nullptr; });
    EXPECT_TRUE(call(factory, L"Create", {ScriptVariable(L"test.both")}).IsEmpty()) << "Register replaces";
}

TEST(ScriptVariable, CopiesDeepCopyStringsShareObjectsAndTheInvoker) {
    auto plugin = std::make_shared<EchoPlugin>();
    ScriptVariable obj(plugin);
    auto invoker = obj.GetInvoker();
    ASSERT_TRUE(invoker);
    ScriptVariable copy = obj;
    EXPECT_EQ(copy.GetInvoker(), invoker);
    EXPECT_EQ(copy.GetObject(), plugin);
    EXPECT_EQ(plugin.use_count(), 4) << "local, variable, copy and the shared invoker";

    ScriptVariable text(L"abc");
    ScriptVariable text_copy = text;
    text = ScriptVariable(L"changed");
    EXPECT_EQ(text_copy.GetString(), L"abc");

    ScriptVariable moved = std::move(obj);
    EXPECT_TRUE(obj.IsEmpty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.GetObject(), plugin);
    moved.Clear();
    copy.Clear();
    invoker.reset();
    EXPECT_EQ(plugin.use_count(), 1);

    EXPECT_EQ(ScriptVariable(-1).GetInt(), 0xFFFFFFFFu);
    EXPECT_EQ(ScriptVariable(0xFFFFFFFFu).GetSignedInt(), -1);
    EXPECT_EQ(ScriptVariable(std::shared_ptr<IScriptableObject>()).GetType(), ScriptVariableType::kEmpty);
    EXPECT_EQ(ScriptVariable(L"1").GetInt(), 0u) << "accessors of another type give neutral values";
    EXPECT_FALSE(ScriptVariable(std::uint32_t{1}).GetBool());
    EXPECT_FALSE(ScriptVariable(L"x").GetInvoker());
}

}  // namespace
}  // namespace Corvane::Script
