// "queue", "contextitemstore" and "ScriptVariableStore".
#include <gtest/gtest.h>

#include "platform/logging/test/scoped_process_logger.h"
#include "script_host/plugins/context_item_store_slot.h"
#include "script_host/plugins/script_variable_queue.h"
#include "script_host/plugins/script_variable_store.h"
#include "script_host/plugins/test/plugin_calls.h"

namespace Corvane::Script {
namespace {

using namespace test;

TEST(QueuePlugin, BoundedFifoOfCopies) {
    rk::logging::test::ScopedLogCapture log;
    CScriptVariableQueue queue(nullptr);
    EXPECT_EQ(call(queue, L"GetName"), S(L"ScriptVariable Queue Plugin"));
    EXPECT_EQ(call(queue, L"IsEmpty"), B(true));
    EXPECT_TRUE(call(queue, L"Front").IsEmpty());
    EXPECT_TRUE(call(queue, L"Back").IsEmpty());
    call(queue, L"Pop");  // nothing to remove

    auto object = std::make_shared<CScriptVariableQueue>(nullptr);
    call(queue, L"Push", {S(L"first")});
    call(queue, L"Push", {I(2)});
    call(queue, L"Push", {ScriptVariable(object)});
    call(queue, L"Push", {ScriptVariable()});
    call(queue, L"Push");
    EXPECT_EQ(log.logger().Messages(),
              (std::vector<std::wstring>{L"Tried to push an empty element. Going to ignore element",
                                         L"Tried to push an empty element. Going to ignore element"}));
    EXPECT_EQ(call(queue, L"Size"), I(3));
    EXPECT_EQ(call(queue, L"Front"), S(L"first"));
    EXPECT_EQ(call(queue, L"Back").GetObject(), object);
    call(queue, L"Pop");
    EXPECT_EQ(call(queue, L"Front"), I(2));
    call(queue, L"Pop");
    call(queue, L"Pop");
    EXPECT_EQ(call(queue, L"IsEmpty"), B(true));

    for (std::size_t i = 0; i < kMaxQueueSize; ++i) {
        call(queue, L"Push", {B(true)});
    }
    EXPECT_EQ(error_of(queue, L"Push", {B(true)}), "Queue is full: 65536 values");
    EXPECT_EQ(call(queue, L"Size"), I(65536));
}

TEST(ContextItemStore, ValuesAndRefusals) {
    rk::logging::test::ScopedLogCapture log;
    ContextItemStorePlugin store(nullptr);
    EXPECT_EQ(call(store, L"GetName"), S(L"ContextItemStore"));
    const struct {
        std::vector<ScriptVariable> set;
        ScriptVariable stored;
        std::vector<std::wstring> logged;
    } cases[] = {
        {{S(L"a"), S(L"text")}, B(true), {}},
        {{S(L"b"), I(7)}, B(true), {}},
        {{S(L"a"), B(false)}, B(true), {}},  // replaces
        {{S(L"e"), ScriptVariable()}, B(true), {}},
        {{S(L""), S(L"x")}, B(false), {L"Item name is required for saving in context store"}},
        {{S(L"o"), ScriptVariable(std::make_shared<ContextItemStorePlugin>(nullptr))},
         B(false),
         {L"Item type 4 is disallowed in context store"}},
    };
    for (const auto& c : cases) {
        log.logger().Clear();
        EXPECT_EQ(call(store, L"Set", c.set), c.stored) << c.set[0].GetString();
        EXPECT_EQ(log.logger().Messages(), c.logged) << c.set[0].GetString();
    }
    log.logger().Clear();
    EXPECT_EQ(call(store, L"Get", {S(L"a")}), B(false));
    EXPECT_EQ(call(store, L"Get", {S(L"b")}), I(7));
    EXPECT_TRUE(call(store, L"Get", {S(L"e")}).IsEmpty());
    EXPECT_TRUE(log.logger().Messages().empty());
    EXPECT_TRUE(call(store, L"Get", {S(L"o")}).IsEmpty());
    EXPECT_TRUE(call(store, L"Get", {S(L"")}).IsEmpty());
    EXPECT_EQ(log.logger().Messages(),
              (std::vector<std::wstring>{L"Unable to find item in context store. Name: o",
                                         L"Item name is required for lookup from context store"}));
}

// Variables the host sets before a script creates the store are handed over;
// every Create returns the same store; later host variables go straight in.
TEST(ContextItemStore, OneStorePerEngine) {
    auto slot = std::make_shared<ContextItemStoreSlot>();
    slot->SetVariable(L"early", S(L"1"));
    EXPECT_EQ(slot->Store(), nullptr);
    const PluginCreator create = slot->Creator();
    const auto first = create(nullptr);
    EXPECT_EQ(create(nullptr), first);
    EXPECT_EQ(call(*first, L"Get", {S(L"early")}), S(L"1"));
    slot->SetVariable(L"late", I(2));
    EXPECT_EQ(call(*first, L"Get", {S(L"late")}), I(2));
    EXPECT_EQ(slot->Store(), first);
}

TEST(ScriptVariableStore, GetSetAndObjects) {
    rk::logging::test::ScopedLogCapture log;
    CScriptVariableStore store(nullptr);
    EXPECT_EQ(call(store, L"GetName"), S(L"ScriptVariableStore"));
    EXPECT_TRUE(store.Set(L"Setting.Analytics.Base.Path", S(L"C:\\x")));
    EXPECT_TRUE(store.Set(L"stop_signal_received", B(false)));
    auto queue = std::make_shared<CScriptVariableQueue>(nullptr);
    EXPECT_EQ(call(store, L"Set", {S(L"delayedQueue"), ScriptVariable(queue)}), B(true));
    EXPECT_EQ(call(store, L"Set", {S(L"stop_signal_received"), B(true)}), B(true));

    EXPECT_EQ(call(store, L"Get", {S(L"Setting.Analytics.Base.Path")}), S(L"C:\\x"));
    EXPECT_EQ(call(store, L"Get", {S(L"stop_signal_received")}), B(true));
    EXPECT_EQ(call(store, L"Get", {S(L"delayedQueue")}).GetObject(), queue);
    EXPECT_TRUE(log.logger().Messages().empty());
    ScriptVariable value(L"stale");
    EXPECT_FALSE(store.Get(L"Setting.Missing", value));
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_TRUE(call(store, L"Get", {S(L"setting.analytics.base.path")}).IsEmpty());  // names are exact
    EXPECT_EQ(log.logger().Messages(),
              (std::vector<std::wstring>{L"Unable to find requested variable Setting.Missing",
                                         L"Unable to find requested variable setting.analytics.base.path"}));
    EXPECT_EQ(error_of(store, L"Get", {I(1)}),
              "Incorrect number of parameters or invalid types. Number of parameters passed: 1");
}

}  // namespace
}  // namespace Corvane::Script
