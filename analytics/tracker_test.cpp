#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "analytics/event.h"
#include "analytics/sdk_connector.h"
#include "analytics/transport_registry.h"
#include "platform/system/process_info.h"
#include "platform/text/utf.h"

namespace Halden::Analytics {
namespace {

// A transport that keeps what it is given and may refuse to connect.
class Recorder final : public internal::CBaseTransport {
public:
    explicit Recorder(bool accepts, std::wstring name = L"Recorder")
        : CBaseTransport(std::move(name), 7), accepts_(accepts) {}
    bool Connect() override {
        ++connects;
        return accepts_;
    }
    bool Send(const Record& record) override {
        sent.push_back(record);
        return true;
    }
    void Disconnect() override { ++disconnects; }

    std::vector<Record> sent;
    int connects = 0;
    int disconnects = 0;

private:
    bool accepts_;
};

class Registered {
public:
    explicit Registered(std::shared_ptr<internal::ITransport> transport) : transport_(std::move(transport)) {
        RegisterTransport(transport_);
    }
    ~Registered() { UnregisterTransport(transport_); }

private:
    std::shared_ptr<internal::ITransport> transport_;
};

TEST(Tracker, SettersChainAndRefuseReservedAndNullNames) {
    v2::CEvent event(nullptr);
    event.SetCategory(L"Life")
        .SetAction(std::wstring(L"Act"))
        .SetLabel(static_cast<const wchar_t*>(nullptr))
        .SetValue(42)
        .Set(L"__record.created", L"forged")
        .Set(std::wstring(L"__x"), std::wstring(L"y"))
        .Set(nullptr, L"ignored")
        .Set(std::wstring(L""), std::wstring(L"empty name"))
        .Set(L"n", 4294967295u);
    SetStringAttribute(event, L"__caller.name", L"forged");
    SetStringAttribute(event, nullptr, L"x");
    SetNumericAttribute(event, L"num", 7);
    SetStringAttribute(event, L"s", nullptr);
    const Record expected{{L"UniqueIdentifier", L""}, {L"Event.Category", L"Life"}, {L"Event.Action", L"Act"},
                          {L"Event.Label", L""},      {L"Event.Value", L"42"},     {L"n", L"4294967295"},
                          {L"num", L"7"},             {L"s", L""}};
    EXPECT_EQ(event.Attributes(), expected);
}

TEST(Tracker, SendStampsTheRecordAndUsesTheFirstTransportThatConnects) {
    auto refuses = std::make_shared<Recorder>(false, L"Refuses");
    auto takes = std::make_shared<Recorder>(true);
    Registered a(refuses);
    Registered b(takes);
    EXPECT_TRUE(RegisterTransport(takes));  // a second registration adds nothing

    v2::CEvent event(L"evt");
    event.Set(L"k", L"v");
    event.Send();
    event.Send();  // restamped

    EXPECT_EQ(refuses->connects, 2);
    EXPECT_EQ(refuses->disconnects, 2);
    ASSERT_EQ(takes->sent.size(), 2u);
    EXPECT_EQ(takes->disconnects, 2);
    const Record& r = takes->sent[0];
    EXPECT_EQ(r.at(L"__track.api.version"), L"1.2.0");
    EXPECT_EQ(r.at(L"Tracker.Type"), L"event");
    EXPECT_EQ(r.at(L"UniqueIdentifier"), L"evt");
    EXPECT_EQ(r.at(L"k"), L"v");
    EXPECT_TRUE(std::regex_match(rk::text::wide_to_utf8(r.at(L"__record.created")),
                                 std::regex(R"(20\d\d-[01]\d-[0-3]\d [0-2]\d:[0-5]\d:[0-6]\dZ)")));
    EXPECT_EQ(r.count(L"__record.created.raw"), 0u);
    EXPECT_TRUE(std::regex_match(rk::text::wide_to_utf8(r.at(L"__record.created.seconds")), std::regex(R"(\d+)")));
    EXPECT_EQ(r.at(L"__caller.name"), rk::sys::own_image_path());
    EXPECT_EQ(r.at(L"__transport.name"), L"Recorder v7");
    EXPECT_EQ(r.size(), 8u);
}

TEST(Tracker, WithoutAConnectingTransportTheNullTransportTakesTheRecord) {
    auto refuses = std::make_shared<Recorder>(false);
    Registered registered(refuses);
    CSDKConnector connector;
    ASSERT_TRUE(connector.Connect());
    Record record{{L"a", L"b"}};
    EXPECT_TRUE(connector.Send(record));
    EXPECT_EQ(record.at(L"__transport.name"), L"NULL-Pattern v1");
    EXPECT_TRUE(refuses->sent.empty());

    EXPECT_TRUE(UnregisterTransport(refuses));
    EXPECT_FALSE(UnregisterTransport(refuses));
    RegisterTransport(refuses);  // for the scope's own unregistration

    CSDKConnector unconnected;
    EXPECT_FALSE(unconnected.Send(record));
}

TEST(Tracker, CreationTimeTextAndCallerName) {
    EXPECT_EQ(internal::FormatRecordCreated(0), L"1970-01-01 00:00:00Z");
    EXPECT_EQ(internal::FormatRecordCreated(1769903998), L"2026-01-31 23:59:58Z");
    EXPECT_EQ(internal::FormatRecordCreated(951782400), L"2000-02-29 00:00:00Z");
    EXPECT_EQ(internal::FormatRecordCreated(-1), std::nullopt);
    EXPECT_EQ(internal::FormatRecordCreated(INT64_MAX), std::nullopt);
    EXPECT_EQ(internal::DoubleBackslashes(L"C:\\A\\b.exe"), L"C:\\\\A\\\\b.exe");
    EXPECT_EQ(internal::DoubleBackslashes(L"/usr/bin/x"), L"/usr/bin/x");
}

}  // namespace
}  // namespace Halden::Analytics
