// The real daemon binary in a temporary root against the demo server on
// 127.0.0.1:8443 (the development profile's manifest and content update
// address): one pass downloads and runs the signed demo installer, every
// event of the pass reaches the demo collector as an analytics record
// (through the engine, its content update and the demo content script), and
// a second daemon in the same session exits 0 at once. A manifest body
// that never ends costs the daemon no more than the manifest bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/environment.h"
#include "platform/system/process/command_line.h"
#include "platform/system/process/process.h"
#include "platform/system/test/read_file.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"
#include "tools/demo_server/demo_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using rk::sys::test::read_file;

const fs::path kSource = RK_SOURCE_DIR;
const fs::path kKeys = kSource / "profile/dev-keys";

// A child process with extra environment entries (which win over ours),
// every inheritable descriptor, standard output discarded and standard error
// in a file; killed if it still runs at the end.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::wstring>& extra_env, const fs::path& stderr_file) {
        rk::sys::StartOptions options;
        for (const auto& arg : argv) {
            options.command_line += (options.command_line.empty() ? L"" : L" ") +
                                    rk::sys::quote_argument(rk::text::utf8_to_wide(arg));
        }
        options.environment = extra_env;
        const auto own = rk::sys::environment_block();
        options.environment->insert(options.environment->end(), own.begin(), own.end());
        rk::sys::File null_device;
        rk::sys::File error_file;
        if (rk::sys::File::open_null_device(null_device) != 0 ||
            rk::sys::File::open_host(stderr_file, {rk::sys::kGenericWrite, 0, rk::sys::kCreateAlways}, error_file) != 0) {
            return;
        }
        options.standard_output = &null_device;
        options.standard_error = &error_file;
        options.inherit_handles = true;
        rk::sys::start_process(options, process_);
    }
    ~Child() {
        if (process_ && process_->wait(0) != rk::win::kWaitObject0) {
            ::kill(pid(), SIGKILL);
            process_->wait(rk::win::kInfinite);
        }
    }

    pid_t pid() const { return process_ ? static_cast<pid_t>(process_->id()) : -1; }
    // The exit code (128 + the signal that ended it), or -1 when it still
    // runs after `timeout`.
    int wait_for(std::chrono::milliseconds timeout) {
        rk::DWORD code = 0;
        if (!process_ || process_->wait(static_cast<rk::DWORD>(timeout.count())) != rk::win::kWaitObject0 ||
            process_->exit_code(code) != 0) {
            return -1;
        }
        return static_cast<int>(code);
    }

private:
    std::unique_ptr<rk::sys::Process> process_;
};

int run_tool(const std::vector<std::string>& argv, const fs::path& log) {
    Child child(argv, {}, log);
    return child.wait_for(std::chrono::seconds(60));
}

using Fields = std::map<std::string, std::string>;

// The collector's records (one JSON object of strings per line) by their
// unique identifier.
std::map<std::string, Fields> collected_records(const fs::path& file) {
    std::map<std::string, Fields> records;
    std::istringstream lines(read_file(file));
    for (std::string line; std::getline(lines, line);) {
        rapidjson::Document document;
        document.Parse(line.c_str());
        if (document.HasParseError() || !document.IsObject()) {
            ADD_FAILURE() << "not a record: " << line;
            continue;
        }
        Fields fields;
        for (const auto& member : document.GetObject()) {
            fields[member.name.GetString()] = member.value.IsString() ? member.value.GetString() : "<not a string>";
        }
        records[fields["UniqueIdentifier"]] = fields;
    }
    return records;
}

// A record of the updater module as the collector must see it; the stamps
// vary and are checked by form.
void expect_record(const Fields& got, const std::string& id, const std::string& action, const char* hit_label) {
    SCOPED_TRACE(id);
    Fields expected{{"UniqueIdentifier", id},          {"Event.Category", "Life"},
                    {"Event.Action", action},          {"Event.Label", "RkUpdaterModule"},
                    {"Tracker.Type", "event"},         {"hit_result", "clean"},
                    {"hit_source", "demo"},            {"__track.api.version", "1.2.0"},
                    {"__transport.name", "InProcess v1"}, {"__caller.name", RKUPDATERMODULE_PATH}};
    if (hit_label != nullptr) {
        expected["Hit.Label.1"] = hit_label;
    }
    Fields stamps = got;
    for (const char* stamp : {"__record.created", "__record.created.seconds"}) {
        stamps.erase(stamp);
    }
    EXPECT_EQ(stamps, expected);
    EXPECT_TRUE(std::regex_match(got.count("__record.created") ? got.at("__record.created") : "",
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ)")));
    EXPECT_TRUE(std::regex_match(got.count("__record.created.seconds") ? got.at("__record.created.seconds") : "",
                                 std::regex(R"(\d+)")));
}

TEST(RkUpdaterModuleDaemon, InstallsFromTheDemoServerAndRefusesASecondInstance) {
    rk::sys::test::TempRoot root;  // RK_ROOT for every child
    const fs::path work = root.path() / "work";
    const fs::path serve = work / "serve";
    fs::create_directories(serve);
    fs::create_directories(root.path() / "var/lib");
    fs::copy_file(kSource / "testdata/demo/lmrupdate.xml", serve / "lmrupdate.xml");
    {
        std::ofstream chain(work / "chain.pem");
        chain << read_file(kKeys / "intermediate.crt") << read_file(kKeys / "root.crt");
    }
    fs::create_directories(root.path() / "var/lib/Corvane Lumora");
    std::ofstream(root.path() / "var/lib/Corvane Lumora/lbstate.ini")
        << "[Brightscan]\r\nInstallSource=demo\r\n[LastScanResult]\r\nScanStatus=clean\r\n";
    // The signed installer, the analytics content of the development
    // profile's content update address, and the product's registry values.
    const std::vector<std::vector<std::string>> setup = {
        {"sign-file", (kSource / "testdata/demo/installer.sh").string(), "--cert", (kKeys / "codesign.crt").string(),
         "--key", (kKeys / "codesign.key.pem").string(), "--chain", (work / "chain.pem").string(), "--out",
         (serve / "Brightscan_Setup.exe").string()},
        {"sign-doc", "--key", (kKeys / "document.key.pem").string(), "--out", (serve / "update_product.xml").string(),
         (kSource / "testdata/demo/content/update_product.xml").string()},
        {"sign-script", "--key", (kKeys / "script.key.pem").string(), "--out", (serve / "engine.js").string(),
         (kSource / "testdata/demo/content/engine.js").string()},
        {"reg", "add", "HKLM\\SOFTWARE\\Corvane\\Lumora", "-v", "Version", "-d", "2.1"},
        {"reg", "add", "HKLM\\SOFTWARE\\Corvane\\Lumora", "-v", "AffId", "-d", "TEST"},
    };
    for (auto args : setup) {
        args.insert(args.begin(), RKCTL_PATH);
        ASSERT_EQ(run_tool(args, work / "setup.log"), 0) << args[1] << "\n" << read_file(work / "setup.log");
    }

    rk::demo::DemoServerOptions options;
    options.folder = serve;
    options.cert = kKeys / "tls.crt";
    options.key = kKeys / "tls.key.pem";
    options.collect_file = work / "collected.jsonl";
    std::mutex requests_mutex;
    std::vector<std::string> requests;
    options.on_request = [&](const std::string& line) {
        const std::lock_guard lock(requests_mutex);
        requests.push_back(line.substr(0, line.rfind(' ')));
    };
    auto count_requests = [&](const std::string& request) {
        const std::lock_guard lock(requests_mutex);
        return std::count(requests.begin(), requests.end(), request);
    };
    auto all_requests = [&] {
        const std::lock_guard lock(requests_mutex);
        std::string text;
        for (const auto& r : requests) {
            text += r + "\n";
        }
        return text;
    };
    rk::demo::DemoServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error << " (is another demo server running on 127.0.0.1:8443?)";

    // A loader variable and an open descriptor handed to the daemon are gone
    // after its secure start.
    const std::vector<std::wstring> env = {L"RK_LOG_STDERR=1", L"RK_LOG_SEVERITY=1", L"LD_LIBRARY_PATH=/nonexistent-rk"};
    const fs::path inherited = work / "inherited.txt";
    const int inherited_fd = ::open(inherited.c_str(), O_WRONLY | O_CREAT, 0644);  // no O_CLOEXEC
    Child daemon({RKUPDATERMODULE_PATH}, env, work / "daemon.log");
    ::close(inherited_fd);
    ASSERT_GT(daemon.pid(), 0);

    const fs::path marker = root.path() / "var/lib/CorvaneDemo/installer-ran.txt";
    const auto deadline = Clock::now() + std::chrono::seconds(90);
    while (Clock::now() < deadline && read_file(work / "daemon.log").find("event: 71s") == std::string::npos) {
        ASSERT_EQ(daemon.wait_for(std::chrono::milliseconds(100)), -1) << read_file(work / "daemon.log");
    }
    const std::string log = read_file(work / "daemon.log");
    ASSERT_TRUE(fs::exists(marker)) << log;
    EXPECT_NE(read_file(marker).find("with: /silent /source=rkupdater"), std::string::npos);
    EXPECT_NE(log.find("Data formed to track is: errcode=errcode:preconditionsuccess"), std::string::npos) << log;
    EXPECT_NE(log.find("Data formed to track is: errcode=errcode:executesuccesswithexitcode:3"), std::string::npos)
        << log;
    const struct {
        const char* id;
        const char* action;
        const char* hit_label;
    } pass[] = {
        {"lumora_rkupdater_precond_check_started", "Precondition Check Started", nullptr},
        {"lumora_rkupdater_precond_check_success", "Precondition Check Success", "errcode:preconditionsuccess"},
        {"lumora_rkupdater_dwnldexecute_success", "DownloadExecute Success", "errcode:executesuccesswithexitcode:3"},
    };
    // The last event's record arrives while its engine stops. Wait for every
    // record of the pass, not for the last one only: their order on the wire
    // is not part of what is checked.
    const auto records_deadline = Clock::now() + std::chrono::seconds(30);
    auto all_collected = [&] {
        const auto got = collected_records(work / "collected.jsonl");
        return std::all_of(std::begin(pass), std::end(pass), [&](const auto& r) { return got.count(r.id) != 0; });
    };
    while (Clock::now() < records_deadline && !all_collected()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const auto records = collected_records(work / "collected.jsonl");
    for (const auto& r : pass) {
        ASSERT_EQ(records.count(r.id), 1u) << r.id << "\n" << read_file(work / "collected.jsonl") << log;
        expect_record(records.at(r.id), r.id, r.action, r.hit_label);
    }
    EXPECT_EQ(count_requests("GET /xml/lmrupdate.xml 200"), 1) << all_requests();
    EXPECT_EQ(count_requests("GET /dl/affiliates//TEST/Brightscan_Setup.exe 200"), 1) << all_requests();
    EXPECT_GE(count_requests("GET /products/lumora/Win/update_product.xml 200"), 3) << all_requests();
    EXPECT_GE(count_requests("POST /collect 204"), 3) << all_requests();
    const std::string environment = read_file("/proc/" + std::to_string(daemon.pid()) + "/environ");
    EXPECT_EQ(environment.find("LD_LIBRARY_PATH"), std::string::npos);
    EXPECT_NE(environment.find("RK_ROOT="), std::string::npos);
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(daemon.pid()) + "/fd", ec)) {
        EXPECT_NE(fs::read_symlink(fd.path(), ec), inherited) << fd.path();
    }

    // The first daemon now sleeps its polling interval; a second one refuses.
    Child second({RKUPDATERMODULE_PATH}, {L"RK_LOG_STDERR=1", L"RK_LOG_SEVERITY=1"}, work / "second.log");
    EXPECT_EQ(second.wait_for(std::chrono::seconds(10)), 0);
    const std::string second_log = read_file(work / "second.log");
    EXPECT_NE(second_log.find("Application is already running - exiting error is: 183"), std::string::npos)
        << second_log;
    EXPECT_NE(second_log.find("Application already running"), std::string::npos);
    EXPECT_EQ(count_requests("GET /xml/lmrupdate.xml 200"), 1);  // the second daemon fetched nothing

    ::kill(daemon.pid(), SIGTERM);
    EXPECT_EQ(daemon.wait_for(std::chrono::seconds(10)), 128 + SIGTERM);
}

// What reading an endless manifest body to the bound (1 MiB) may add to the
// daemon's peak resident size: the doubling buffer, a read chunk and what
// the attempt allocates beside them (usually under 4 MiB, once 5.2 MiB on a
// loaded machine). ASan keeps freed blocks in quarantine and adds shadow
// memory (7.2 MiB measured). Without the bound the daemon grows by hundreds
// of MiB in the time the test waits.
#if defined(__SANITIZE_ADDRESS__)  // GCC and recent clang, as the asan preset builds
constexpr std::uint64_t kEndlessBodyGrowth = std::uint64_t{16} << 20;
#else
constexpr std::uint64_t kEndlessBodyGrowth = std::uint64_t{8} << 20;
#endif

// Peak resident size of a process (VmHWM), in bytes; 0 when unknown.
std::uint64_t peak_resident_bytes(pid_t pid) {
    std::istringstream status(read_file("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoull(line.substr(6)) * 1024;  // "VmHWM:   12345 kB"
        }
    }
    return 0;
}

// A manifest server that answers 200 with no Content-Length and a body that
// never ends: the daemon reads at most the profile's manifest bound (1 MiB),
// fails the attempt with 12184 and goes to its usual retry wait, its peak
// resident size growing by little more than the bound meanwhile.
TEST(RkUpdaterModuleDaemon, AnEndlessManifestBodyFailsTheAttemptWithinTheBound) {
    rk::sys::test::TempRoot root;
    const fs::path work = root.path() / "work";
    fs::create_directories(work);
    fs::create_directories(root.path() / "var/lib");
    std::atomic<pid_t> daemon_pid{0};
    std::atomic<std::uint64_t> peak_at_request{0};
    std::atomic<std::uint64_t> sent{0};
    httplib::SSLServer server((kKeys / "tls.crt").c_str(), (kKeys / "tls.key.pem").c_str());
    server.Get("/xml/lmrupdate.xml", [&](const httplib::Request&, httplib::Response& response) {
        peak_at_request = peak_resident_bytes(daemon_pid);
        response.set_chunked_content_provider("text/xml", [&](std::size_t, httplib::DataSink& sink) {
            static const std::string block(64 * 1024, '<');
            sent += block.size();
            return sink.write(block.data(), block.size());
        });
    });
    ASSERT_TRUE(server.bind_to_port("127.0.0.1", 8443)) << "is another server running on 127.0.0.1:8443?";
    std::thread serving([&server] { server.listen_after_bind(); });
    struct Stop {
        httplib::SSLServer& server;
        std::thread& thread;
        ~Stop() {
            server.stop();
            thread.join();
        }
    } stop{server, serving};

    Child daemon({RKUPDATERMODULE_PATH}, {L"RK_LOG_STDERR=1", L"RK_LOG_SEVERITY=1"}, work / "daemon.log");
    ASSERT_GT(daemon.pid(), 0);
    daemon_pid = daemon.pid();
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline &&
           read_file(work / "daemon.log").find("Going to wait for 5minutes") == std::string::npos) {
        ASSERT_EQ(daemon.wait_for(std::chrono::milliseconds(50)), -1) << read_file(work / "daemon.log");
    }
    const std::uint64_t peak = peak_resident_bytes(daemon.pid());
    const std::string log = read_file(work / "daemon.log");
    ::kill(daemon.pid(), SIGKILL);
    EXPECT_NE(log.find("Failed in WinHttpReadData with error 12184"), std::string::npos) << log;
    EXPECT_NE(log.find("Going to wait for 5minutes"), std::string::npos) << log;
    ASSERT_GT(peak_at_request.load(), 0u);
    EXPECT_GE(sent.load(), 1u << 20);
    EXPECT_LT(peak - peak_at_request, kEndlessBodyGrowth)
        << "peak " << peak << " at the request " << peak_at_request << "\n" << log;
}

}  // namespace
