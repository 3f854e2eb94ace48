// Records a real LTTng session while a program logs at every level and
// checks with babeltrace2 which events arrived with which fields. Needs
// lttng-tools and babeltrace2; starts a session daemon when none runs (as
// root in CI) and skips when the tools are missing or not permitted.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "platform/logging/etw_trace_writer.h"
#include "platform/system/process/process.h"
#include "platform/system/test/command.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

namespace fs = std::filesystem;

using rk::sys::test::CommandResult;
const auto run = rk::sys::test::run_command;

bool have(const char* tool) { return run(std::string("command -v ") + tool + " >/dev/null").status == 0; }

// One session daemon for the whole test program; stopped at the end only
// when this program started it.
class SessionDaemon : public ::testing::Environment {
public:
    static std::string& skip_reason() {
        static std::string reason;
        return reason;
    }
    void SetUp() override {
        if (!ETWLogging::internal::TraceSystemAvailable()) {
            skip_reason() = "built without LTTng";
            return;
        }
        for (const char* tool : {"lttng", "lttng-sessiond", "babeltrace2", "pgrep", "timeout"}) {
            if (!have(tool)) {
                skip_reason() = std::string(tool) + " not installed";
                return;
            }
        }
        if (run("pgrep -x lttng-sessiond").status == 0) {
            return;
        }
        if (run("timeout 20 lttng-sessiond --daemonize --no-kernel").status != 0) {
            skip_reason() = "cannot start lttng-sessiond";
            return;
        }
        // The oldest: none ran before, and the helpers it forks are newer.
        const CommandResult pid = run("pgrep -x -o lttng-sessiond");
        started_pid_ = std::atoi(pid.output.c_str());
    }
    void TearDown() override {
        if (started_pid_ > 0) {
            run("kill " + std::to_string(started_pid_));
        }
    }

private:
    int started_pid_ = 0;
};

const auto* const kDaemon = ::testing::AddGlobalTestEnvironment(new SessionDaemon);

struct Event {
    std::string name;
    std::map<std::string, std::string> fields;
};

// Events of babeltrace2's text output whose message carries the marker.
std::vector<Event> parse_events(const std::string& text, const std::string& marker) {
    std::vector<Event> events;
    const std::regex head(R"( ((?:rklogs|VKT):\w+): \{)");
    const std::regex field(R"re((\w+) = ("(?:[^"\\]|\\.)*"|[^,\[\] }]+))re");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        std::smatch m;
        if (line.find(marker) == std::string::npos || !std::regex_search(line, m, head)) {
            continue;
        }
        Event event;
        event.name = m[1];
        for (std::sregex_iterator it(line.begin(), line.end(), field), last; it != last; ++it) {
            std::string value = (*it)[2];
            if (value.size() >= 2 && value.front() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            event.fields.emplace((*it)[1], value);  // first wins: record[] entries come last
        }
        events.push_back(std::move(event));
    }
    return events;
}

class LttngSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SessionDaemon::skip_reason().empty()) {
            GTEST_SKIP() << SessionDaemon::skip_reason();
        }
    }

    // Records one session with the given enable-event commands around one
    // run of the child; returns babeltrace2's text and the child's pid.
    std::string Record(const std::string& tag, const std::vector<std::string>& enables, const std::string& marker,
                       rk::DWORD& pid) {
        const std::string session = "rklogs-test-" + std::to_string(::getpid()) + "-" + tag;
        const fs::path out = root_.path() / ("trace-" + tag);
        const std::string lttng = "timeout 20 lttng ";
        CommandResult created = run(lttng + "create " + session + " --output=" + out.native());
        if (created.status != 0) {
            ADD_FAILURE() << created.output;
            return {};
        }
        for (const auto& enable : enables) {
            const CommandResult r = run(lttng + "enable-event -u -s " + session + " " + enable);
            EXPECT_EQ(r.status, 0) << r.output;
        }
        EXPECT_EQ(run(lttng + "start " + session).status, 0);

        rk::sys::StartOptions options;
        options.application = rk::text::utf8_to_wide(RK_LOGGING_TEST_CHILD);
        options.command_line = L"child levels " + rk::text::utf8_to_wide(marker);
        std::unique_ptr<rk::sys::Process> child;
        EXPECT_EQ(rk::sys::start_process(options, child), 0u);
        pid = child ? child->id() : 0;
        if (child) {
            EXPECT_EQ(child->wait(30000), rk::win::kWaitObject0);
            rk::DWORD code = 1;
            child->exit_code(code);
            EXPECT_EQ(code, 0u);
        }

        run(lttng + "stop " + session);
        run(lttng + "destroy " + session);
        const CommandResult text = run("timeout 60 babeltrace2 " + out.native());
        EXPECT_EQ(text.status, 0) << text.output;
        return text.output;
    }

    rk::sys::test::TempRoot root_;  // the child's registry: no "Logging Mechanism", so ETW
    rk::sys::test::ScopedEnv no_echo_{"RK_LOG_STDERR", std::nullopt};
    rk::sys::test::ScopedEnv no_severity_{"RK_LOG_SEVERITY", std::nullopt};
};

TEST_F(LttngSessionTest, SessionLevelSelectsTheRecordedLines) {
    struct Case {
        const char* tag;
        std::vector<std::string> enables;
        std::vector<std::pair<std::string, int>> classic;  // event name, product level of the message
        std::size_t structured;
    };
    const Case cases[] = {
        // TRACE_ERR and more severe: ETW levels 4 and 5, so severity 4; the
        // level-6 line passes the filter but travels as level 3, not recorded.
        {"err", {"'rklogs:*' --loglevel=TRACE_ERR"}, {{"rklogs:level4", 4}, {"rklogs:level5", 5}}, 0},
        // Everything, with the structured event: severity 1, every line once
        // as a classic event (6 as level 3) and once as VKT:RKLOGS.
        {"all",
         {"'rklogs:*'", "VKT:RKLOGS"},
         {{"rklogs:level1", 1},
          {"rklogs:level2", 2},
          {"rklogs:level3", 3},
          {"rklogs:level4", 4},
          {"rklogs:level5", 5},
          {"rklogs:level3", 6}},
         6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const std::string marker = std::string("mark-") + c.tag + "-" + std::to_string(::getpid());
        rk::DWORD pid = 0;
        const std::string text = Record(c.tag, c.enables, marker, pid);
        const auto events = parse_events(text, marker);
        std::vector<std::pair<std::string, int>> classic;
        std::size_t structured = 0;
        for (const auto& e : events) {
            if (e.name == "VKT:RKLOGS") {
                ++structured;
                EXPECT_EQ(e.fields.at("Group"), "_no_group");
                EXPECT_EQ(e.fields.at("Function"), "ChildMain::LogLevels");
                EXPECT_EQ(e.fields.count("Module"), 1u);
                EXPECT_EQ(e.fields.count("Version"), 1u);
                EXPECT_EQ(e.fields.count("File"), 1u);
                EXPECT_EQ(e.fields.count("Line"), 1u);
                EXPECT_EQ(e.fields.at("Message").rfind(marker, 0), 0u);
                continue;
            }
            const std::string message = e.fields.at("message");
            const int level = message.back() - '0';
            classic.emplace_back(e.name, level);
            EXPECT_EQ(message, marker + " level " + std::to_string(level));
            EXPECT_EQ(e.fields.at("pid"), std::to_string(pid));
            EXPECT_EQ(e.fields.at("tid"), std::to_string(pid));  // the child logs from its main thread
            EXPECT_EQ(e.fields.at("image"), "rk_logging_test_child");
            EXPECT_EQ(e.fields.at("function"), "ChildMain::LogLevels");
            EXPECT_EQ(e.fields.at("line"), std::to_string(100 + level));
            EXPECT_EQ(e.fields.at("group"), "_no_group");
            EXPECT_EQ(e.fields.at("version"), RK_PRODUCT_VERSION_TEXT);
            EXPECT_EQ(e.fields.at("message_length"), std::to_string(message.size()));
            EXPECT_NE(e.fields.at("module").find("rk_logging_test_child"), std::string::npos);
        }
        EXPECT_EQ(classic, c.classic) << text.substr(0, 4000);
        EXPECT_EQ(structured, c.structured);
    }
}

}  // namespace
