// Values crossing between scripts and native code, and native plug-ins seen
// from scripts.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/logging/test/scoped_process_logger.h"
#include "script_host/duktape/duktape_script_host.h"
#include "script_host/duktape/duktape_text.h"
#include "script_host/plugin_object.h"
#include "script_host/script_operation_invoker.h"

namespace Corvane::Script::duktape {
namespace {

class Recorder : public PluginObject {
public:
    Recorder()
        : PluginObject(nullptr, {Method(L"Keep", {kArgAny}, this, &Recorder::Keep),
                                 Method(L"Give", {}, this, &Recorder::Give),
                                 Method(L"Need", {kArgString, kArgBoolean | kArgOptional}, this, &Recorder::Need),
                                 Method(L"Fail", {}, this, &Recorder::Fail)}) {}
    std::wstring GetName() override { return L"Recorder"; }
    std::wstring GetVersion() override { return L"2"; }
    std::vector<ScriptVariable> kept;
    ScriptVariable given;

private:
    void Keep(ScriptVariable&, std::uint32_t count, const ScriptVariable* args) { kept.assign(args, args + count); }
    void Give(ScriptVariable& result, std::uint32_t, const ScriptVariable*) { result = given; }
    void Need(ScriptVariable& result, std::uint32_t count, const ScriptVariable*) { result = ScriptVariable(count); }
    void Fail(ScriptVariable&, std::uint32_t, const ScriptVariable*) {
        throw std::runtime_error("the disk is full");
    }
};

class DuktapeValues : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.Initialize());
        host_.SetNamedObject(L"rec", recorder_);
    }
    // The recorder may hold itself (rec.Keep(rec)): break the cycle.
    void TearDown() override {
        recorder_->kept.clear();
        recorder_->given.Clear();
    }
    void Run(const std::wstring& script) { host_.AddVerifiedScript(script, L"values.js"); }
    // The value of a script expression as native code receives it.
    ScriptVariable Eval(const std::wstring& expression) {
        Run(L"function probe() { return " + expression + L"; }");
        std::shared_ptr<IScriptOperation> op;
        host_.GetInvoker()->Execute(L"probe", op);
        ScriptVariable result;
        EXPECT_EQ(op->Wait(0, result), WaitStatus::kSucceeded) << expression;
        return result;
    }
    std::wstring EvalString(const std::wstring& expression) { return Eval(expression).GetString(); }

    rk::logging::test::ScopedLogCapture capture_;
    DuktapeScriptHost host_{ScriptLimits{}};
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
};

TEST_F(DuktapeValues, ValuesBothWays) {
    const struct {
        const wchar_t* expression;
        ScriptVariable expected;
    } cases[] = {
        {L"42", ScriptVariable(std::uint32_t{42})},
        {L"3.99", ScriptVariable(std::uint32_t{3})},
        {L"-3.99", ScriptVariable(-3)},
        {L"-1", ScriptVariable(0xFFFFFFFFu)},
        {L"4294967296 + 5", ScriptVariable(std::uint32_t{5})},
        {L"0/0", ScriptVariable(std::uint32_t{0})},
        {L"1/0", ScriptVariable(std::uint32_t{0})},
        {L"true", ScriptVariable(true)},
        {L"'text'", ScriptVariable(L"text")},
        {L"''", ScriptVariable(L"")},
        {L"'\\u00e9\\u4e2d\\uD83D\\uDE00'", ScriptVariable(L"\u00e9\u4e2d\U0001F600")},
        {L"'a\\uD800b'", ScriptVariable(L"a\uFFFDb")},
        {L"'\\uDC00'", ScriptVariable(L"\uFFFD")},
        {L"'nul\\u0000inside'", ScriptVariable(std::wstring(L"nul\0inside", 10))},
        {L"undefined", ScriptVariable()},
        {L"null", ScriptVariable()},
        {L"function () {}", ScriptVariable()},
        {L"[1, 2]", ScriptVariable()},
        {L"new Error('x')", ScriptVariable()},
        {L"new RangeError('x')", ScriptVariable()},
        {L"Symbol('s')", ScriptVariable()},
        {L"Uint8Array.allocPlain(4)", ScriptVariable()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;
    }
    EXPECT_EQ(Eval(L"({a: 1})").GetType(), ScriptVariableType::kObject);
    EXPECT_EQ(Eval(L"new Date(0)").GetType(), ScriptVariableType::kObject);

    // And back: what scripts see of native values.
    const struct {
        ScriptVariable value;
        const wchar_t* seen;  // typeof and the value as the script prints it
    } native[] = {
        {ScriptVariable(), L"object null"},
        {ScriptVariable(L"\U0001F600x"), L"string \U0001F600x 3"},
        {ScriptVariable(true), L"boolean true"},
        {ScriptVariable(0xFFFFFFFFu), L"number -1"},
        {ScriptVariable(std::uint32_t{7}), L"number 7"},
    };
    for (const auto& c : native) {
        recorder_->given = c.value;
        EXPECT_EQ(EvalString(L"(function (v) { return typeof v + ' ' + v + (typeof v == 'string' ? ' ' + v.length : ''); })"
                             L"(rec.Give())"),
                  c.seen);
    }
}

TEST_F(DuktapeValues, ObjectsKeepTheirIdentityAcrossTheBoundary) {
    Run(L"var jsObject = { name: 'js', Twice: function (x) { return x + x; } };");
    Run(L"rec.Keep(jsObject, rec);");
    ASSERT_EQ(recorder_->kept.size(), 2u);
    EXPECT_EQ(recorder_->kept[1].GetObject(), recorder_) << "a native object comes back as itself";

    // A script object held by native code is callable by method name...
    ScriptVariable twice;
    const ScriptVariable arg(L"ab");
    recorder_->kept[0].GetObject()->Execute(L"Twice", twice, 1, &arg);
    EXPECT_EQ(twice.GetString(), L"abab");
    // ...and handed back it is the same script object.
    recorder_->given = recorder_->kept[0];
    EXPECT_EQ(Eval(L"rec.Give() === jsObject"), ScriptVariable(true));
    EXPECT_EQ(Eval(L"rec.Give().name"), ScriptVariable(L"js"));

    ScriptVariable ignored;
    try {
        recorder_->kept[0].GetObject()->Execute(L"Missing", ignored, 0, nullptr);
        ADD_FAILURE() << "calling a missing function must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "TypeError: Could not get function property, Failed due to: Missing is not a function");
    }
}

TEST_F(DuktapeValues, PluginMethodsFromScripts) {
    EXPECT_EQ(EvalString(L"rec.GetName() + ' ' + rec.GetVersion()"), L"Recorder 2");
    EXPECT_EQ(Eval(L"rec.Need('a')").GetInt(), 1u);
    EXPECT_EQ(Eval(L"rec.Need('a', false, 'extra', 4)").GetInt(), 4u);
    EXPECT_EQ(EvalString(L"(function () { try { rec.Need(1); } catch (e) { return e.name + ': ' + e.message; } })()"),
              L"Error: Incorrect number of parameters or invalid types. Number of parameters passed: 1");
    EXPECT_EQ(EvalString(L"(function () { try { rec.Fail(); } catch (e) { return (e instanceof Error) + ' ' + "
                         L"e.message + ' / ' + rec.GetLastErrorMessage(); } })()"),
              L"true the disk is full / the disk is full");
    EXPECT_EQ(EvalString(L"(function () { try { rec.Keep.call({}, 1); } catch (e) { return e.name; } })()"),
              L"TypeError") << "a method taken off its object";
    // Plug-ins made by name from a script: PluginsInScripts.EveryPluginFromAScript.
}

TEST(DuktapeText, Cesu8RoundTripsAndRepairs) {
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600";
    const std::string cesu = WideToCesu8(text);
    EXPECT_EQ(cesu, "a\xC3\xA9\xE4\xB8\xAD\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(Cesu8ToWide(cesu), text);
    EXPECT_EQ(Cesu8ToWide("\xF0\x9F\x98\x80"), L"\U0001F600") << "4-byte UTF-8 is accepted";
    EXPECT_EQ(Cesu8ToWide("\xFF" "a\xC3"), L"\uFFFD" L"a\uFFFD");
    EXPECT_EQ(Cesu8ToWide("\xC0\x80"), L"\uFFFD\uFFFD") << "over-long forms are malformed";
    EXPECT_EQ(WideToCesu8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace Corvane::Script::duktape
