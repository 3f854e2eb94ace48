#include "platform/logging/file_logging.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "platform/config/obfuscated_ini_reader.h"
#include "platform/logging/logging_errors.h"
#include "platform/system/paths.h"
#include "platform/system/process/process.h"
#include "platform/system/test/temp_root.h"
#include "platform/text/utf.h"

namespace {

namespace fs = std::filesystem;
using ETWLogging::CLogging;
using ETWLogging::FileLogLine;

constexpr const wchar_t* kFile = L"C:\\src\\platform\\logging\\file_logging_test.cpp";

// --- line layout -----------------------------------------------------------

TEST(FileLogLineTest, LayoutPerOptionBit) {
    FileLogLine base;
    base.time = {2026, 3, 7, 14, 5, 9};
    base.level = 6;
    base.image_name = L"rkupdatermodule.exe";  // 19 characters: the first 15 stay
    base.process_id = 42;
    base.thread_id = 1234567;
    base.source_file = L"C:\\src\\updater\\very_long_source_name.cpp";
    base.line = 77;
    base.function = L"CUpdater::Run";
    base.message = L"polling";
    const std::wstring stamp = L"03/07/2026 02:05:09 PM$ -- (Information)$";
    struct Case {
        const char* name;
        rk::DWORD options;
        std::wstring expected;
    };
    const Case cases[] = {
        {"no fields", 0, stamp + L" polling\r\n"},
        {"debugger output adds no field", 1, stamp + L" polling\r\n"},
        {"image name (default options)", 16, stamp + L" [rkupdatermodule]$ polling\r\n"},
        {"process and thread", 4, stamp + L" [PID:   42 TID:1234567]$ polling\r\n"},
        {"source file and line", 8, stamp + L" [very_long_source_nam:   77]$ polling\r\n"},
        {"function", 32, stamp + L" [" + std::wstring(27, L' ') + L"CUpdater::Run()]$ polling\r\n"},
        {"all, in the order 16, 4, 8, 32", 61,
         stamp + L" [rkupdatermodule]$ [PID:   42 TID:1234567]$ [very_long_source_nam:   77]$ [" +
             std::wstring(27, L' ') + L"CUpdater::Run()]$ polling\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileLogLine line = base;
        line.options = c.options;
        EXPECT_EQ(ETWLogging::FormatFileLogLine(line).value_or(L"<none>"), c.expected);
    }
}

TEST(FileLogLineTest, CutsAlignsAndKeepsOwnLineFeed) {
    FileLogLine line;
    line.time = {2026, 12, 31, 0, 0, 0};
    line.level = 1;
    line.options = 16 | 8;
    line.image_name = L"a";
    line.source_file = L"x.cpp";  // short: right-aligned to 20
    line.line = 123456;           // wider than %5d: printed whole
    line.message = L"ends\n";
    EXPECT_EQ(ETWLogging::FormatFileLogLine(line).value_or(L""),
              L"12/31/2026 12:00:00 AM$ -- (Normal)$ [              a]$ [               x.cpp:123456]$ ends\n");
    line.image_name = L"bc";  // another image name on the same thread
    line.options = 16;
    EXPECT_EQ(ETWLogging::FormatFileLogLine(line).value_or(L""),
              L"12/31/2026 12:00:00 AM$ -- (Normal)$ [             bc]$ ends\n");
}

TEST(FileLogLineTest, TwelveHourClockAndLevelNames) {
    struct Case {
        unsigned short hour;
        const wchar_t* clock;
    };
    const Case clock_cases[] = {{0, L"12:00:00 AM"}, {1, L"01:00:00 AM"}, {11, L"11:00:00 AM"},
                                {12, L"12:00:00 PM"}, {13, L"01:00:00 PM"}, {23, L"11:00:00 PM"}};
    for (const auto& c : clock_cases) {
        FileLogLine line;
        line.time = {2026, 1, 2, c.hour, 0, 0};
        line.level = 3;
        line.message = L"m";
        EXPECT_EQ(ETWLogging::FormatFileLogLine(line).value_or(L""),
                  std::wstring(L"01/02/2026 ") + c.clock + L"$ -- (Information)$ m\r\n");
    }
    const wchar_t* names[] = {L"Normal", L"Warning", L"Information", L"Error", L"Critical", L"Information"};
    for (LogLevel level = 1; level <= 6; ++level) {
        FileLogLine line;
        line.level = level;
        const std::wstring text = ETWLogging::FormatFileLogLine(line).value_or(L"");
        EXPECT_NE(text.find(std::wstring(L" -- (") + names[level - 1] + L")$"), std::wstring::npos) << level;
    }
    for (LogLevel level : {0u, 7u}) {
        FileLogLine line;
        line.level = level;
        EXPECT_FALSE(ETWLogging::FormatFileLogLine(line).has_value()) << level;
    }
}

// --- the logger ---------------------------------------------------------------

class FileLoggingTest : public ::testing::Test {
protected:
    fs::path Base() const { return root_.path() / "var/lib/Corvane/RKLOGS"; }
    fs::path Folder(const std::string& group) const { return Base() / group / "rk_logging_test"; }
    fs::path LogFile(const std::string& group, int index) const {
        char name[32];
        std::snprintf(name, sizeof name, "rk_logging_test%03d.log", index);
        return Folder(group) / name;
    }
    static std::wstring W(const fs::path& p) { return rk::text::utf8_to_wide(p.native()); }

    static void SetIni(const fs::path& file, const wchar_t* key, const std::wstring& value) {
        fs::create_directories(file.parent_path());
        DiraDoro::CObfuscatedIniReader ini(1);
        ini.Load(W(file));
        ASSERT_TRUE(ini.SetString(L"Config", key, value));
    }
    static std::optional<std::wstring> GetIni(const fs::path& file, const wchar_t* key) {
        DiraDoro::CObfuscatedIniReader ini(1);
        ini.Load(W(file));
        std::wstring value;
        if (!ini.GetStringByPath(std::wstring(L"Config\\") + key, value)) {
            return std::nullopt;
        }
        return value;
    }
    // The lines of a log file; checks the byte-order mark.
    static std::vector<std::wstring> Lines(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_GE(bytes.size(), 2u);
        if (bytes.size() < 2) {
            return {};
        }
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xFE);
        const std::wstring text = rk::text::utf16le_to_wide(std::span(bytes).subspan(2));
        std::vector<std::wstring> lines;
        std::size_t start = 0;
        for (std::size_t pos; (pos = text.find(L"\r\n", start)) != std::wstring::npos; start = pos + 2) {
            lines.push_back(text.substr(start, pos - start));
        }
        EXPECT_EQ(start, text.size()) << "partial line at the end";
        return lines;
    }
    std::unique_ptr<CLogging> Make(const wchar_t* group, const wchar_t* host = nullptr) {
        auto logger = std::make_unique<CLogging>();
        EXPECT_EQ(logger->Initialize(group, nullptr, host, 0), 0u);
        return logger;
    }

    rk::sys::test::TempRoot root_;
};

TEST_F(FileLoggingTest, DefaultsPathsAndFirstLine) {
    auto logger = Make(L"grp");
    EXPECT_EQ(std::tuple(logger->GetMaxSize(), logger->GetMaxEntries(), logger->GetSeverity(), logger->GetOptions(),
                         logger->IsEnabled()),
              std::tuple(262144u, 3u, 3u, 16u, true));
    EXPECT_EQ(logger->log_name(), L"rk_logging_test");
    EXPECT_EQ(rk::sys::to_host_path(logger->log_folder()), Folder("grp"));
    EXPECT_EQ(rk::sys::to_host_path(logger->common_settings_file()), Base() / "log.ini");
    EXPECT_EQ(logger->Initialize(L"grp", nullptr, nullptr, 0), ETWLogging::kErrorAlreadyInitialized);

    ASSERT_EQ(logger->Write(kFile, L"T::F", 5, 4, L"first"), 0u);
    const auto lines = Lines(LogFile("grp", 0));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(L"$ -- (Error)$ [rk_logging_test]$ first")) << rk::text::wide_to_utf8(lines[0]);
    EXPECT_FALSE(GetIni(Folder("grp") / "log.ini", L"LastLogIdx").has_value());  // file 000 was simply created

    EXPECT_EQ(logger->Write(kFile, L"T::F", 5, 7, L"bad level"), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(logger->Write(kFile, L"T::F", 5, 4, L""), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(Lines(LogFile("grp", 0)).size(), 1u);

    // Log filters by severity and formats; Write does not filter.
    logger->Log(1, kFile, L"T::F", 6, L"filtered %d", 1);
    logger->Log(5, kFile, L"T::F", 6, L"kept %d", 2);
    const auto after = Lines(LogFile("grp", 0));
    ASSERT_EQ(after.size(), 2u);
    EXPECT_TRUE(after[1].ends_with(L" kept 2"));

    EXPECT_EQ(logger->Uninitialize(), 0u);
    EXPECT_EQ(logger->Uninitialize(), ETWLogging::kErrorNotInitialized);
    EXPECT_EQ(logger->Write(kFile, L"T::F", 5, 4, L"late"), ETWLogging::kErrorNotInitialized);
}

TEST_F(FileLoggingTest, HostNameGoesIntoTheFileNameAndEmptyPartsAreRefused) {
    auto logger = Make(nullptr, L"box");
    ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"x"), 0u);
    EXPECT_TRUE(fs::exists(Base() / "rk_logging_test" / "rk_logging_test_box000.log"));
    CLogging empty_group, empty_host;
    EXPECT_EQ(empty_group.Initialize(L"", nullptr, nullptr, 0), rk::win::kErrorInvalidParameter);
    EXPECT_EQ(empty_host.Initialize(L"g", nullptr, L"", 0), rk::win::kErrorInvalidParameter);
}

TEST_F(FileLoggingTest, SettingsAreValidatedAndDefaultsWrittenBack) {
    const fs::path specific = Folder("cfg") / "log.ini";
    const fs::path common = Base() / "log.ini";
    struct Case {
        const char* name;
        std::vector<std::pair<const wchar_t*, std::wstring>> specific_values, common_values;
        rk::DWORD max_size, max_entries, severity, options;
        bool enabled;
        // key -> text expected afterwards in the specific / common file
        std::vector<std::pair<const wchar_t*, std::wstring>> specific_after, common_after;
    };
    const Case cases[] = {
        {"MaxEntries 1 is invalid: 3 written back", {{L"MaxEntries", L"1"}}, {}, 262144, 3, 3, 16, true,
         {{L"MaxEntries", L"3"}}, {}},
        {"valid specific values", {{L"MaxEntries", L"5"}, {L"MaxSize", L"300000"}, {L"Options", L"61"}}, {},
         300000, 5, 3, 61, true, {}, {}},
        {"severity 0 is valid and becomes 1", {{L"Severity", L"0"}}, {}, 262144, 3, 1, 16, true, {}, {}},
        {"severity 9 is invalid", {{L"Severity", L"9"}}, {}, 262144, 3, 3, 16, true, {{L"Severity", L"3"}}, {}},
        {"MaxSize below the minimum", {{L"MaxSize", L"1000"}}, {}, 262144, 3, 3, 16, true,
         {{L"MaxSize", L"262144"}}, {}},
        {"not a number", {{L"MaxEntries", L"many"}}, {}, 262144, 3, 3, 16, true, {{L"MaxEntries", L"3"}}, {}},
        {"common file applies", {}, {{L"MaxEntries", L"7"}, {L"Enable", L"0"}}, 262144, 7, 3, 16, false, {}, {}},
        {"common valid wins over the default taken for an invalid specific",
         {{L"MaxEntries", L"0"}}, {{L"MaxEntries", L"9"}}, 262144, 9, 3, 16, true, {{L"MaxEntries", L"3"}}, {}},
        {"valid specific wins over common", {{L"MaxEntries", L"4"}}, {{L"MaxEntries", L"9"}}, 262144, 4, 3, 16,
         true, {}, {}},
        {"invalid common is rewritten", {}, {{L"MaxSize", L"99999999"}}, 262144, 3, 3, 16, true, {},
         {{L"MaxSize", L"262144"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Base());
        for (const auto& [key, value] : c.specific_values) {
            SetIni(specific, key, value);
        }
        for (const auto& [key, value] : c.common_values) {
            SetIni(common, key, value);
        }
        auto logger = Make(L"cfg");
        EXPECT_EQ(std::tuple(logger->GetMaxSize(), logger->GetMaxEntries(), logger->GetSeverity(), logger->GetOptions(),
                             logger->IsEnabled()),
                  std::tie(c.max_size, c.max_entries, c.severity, c.options, c.enabled));
        for (const auto& [key, value] : c.specific_after) {
            EXPECT_EQ(GetIni(specific, key).value_or(L"<none>"), value) << rk::text::wide_to_utf8(key);
        }
        for (const auto& [key, value] : c.common_after) {
            EXPECT_EQ(GetIni(common, key).value_or(L"<none>"), value) << rk::text::wide_to_utf8(key);
        }
    }
}

TEST_F(FileLoggingTest, SettersClamp) {
    CLogging logger;
    struct Case {
        rk::DWORD set, entries, size;
    };
    for (const Case& c : {Case{0, 2, 262144}, Case{1, 2, 262144}, Case{101, 100, 262144},
                          Case{50, 50, 262144}, Case{20000000, 100, 10485760}, Case{300000, 100, 300000}}) {
        logger.SetMaxEntries(c.set);
        logger.SetMaxSize(c.set);
        EXPECT_EQ(logger.GetMaxEntries(), c.entries) << c.set;
        EXPECT_EQ(logger.GetMaxSize(), c.size) << c.set;
    }
    logger.SetSeverity(0);
    EXPECT_EQ(logger.GetSeverity(), 1u);
    logger.SetSeverity(9);
    EXPECT_EQ(logger.GetSeverity(), 6u);
    EXPECT_FALSE(logger.IsLevelEnabled(3));  // no "level 3 always" rule here
}

// The object deletes itself when Release brings the count to 0 (seen
// through a token its folder check holds).
TEST_F(FileLoggingTest, ReleaseDeletesAtZero) {
    const auto token = std::make_shared<int>(0);
    auto* logger = new CLogging;
    logger->SetFolderCheck([token] { return rk::DWORD{0}; });
    EXPECT_EQ(logger->AddRef(), 1u);
    EXPECT_EQ(logger->AddRef(), 2u);
    EXPECT_EQ(logger->Release(), 1u);
    EXPECT_EQ(token.use_count(), 2);
    EXPECT_EQ(logger->Release(), 0u);
    EXPECT_EQ(token.use_count(), 1);
}

// Write opens (and rotates) the file before it builds the line: a level the
// line format does not know still moves the ring on, and Write itself has
// no enabled test (Log has).
TEST_F(FileLoggingTest, WriteOpensTheFileBeforeBuildingTheLine) {
    const fs::path specific = Folder("order") / "log.ini";
    struct Case {
        LogLevel level;
        bool enabled;
        rk::DWORD result;
        std::size_t lines;
    };
    for (const Case& c : {Case{7, true, rk::win::kErrorInvalidParameter, 0}, Case{0, true, 87, 0},
                          Case{5, false, 0, 1}}) {
        SCOPED_TRACE(c.level);
        fs::remove_all(Base());
        fs::create_directories(Folder("order"));
        SetIni(specific, L"LastLogIdx", L"7");
        std::ofstream(LogFile("order", 0), std::ios::binary) << std::string(500, 'x');
        auto logger = Make(L"order");
        logger->SetEnabled(c.enabled);
        EXPECT_EQ(logger->Write(kFile, L"F", 1, c.level, L"line"), c.result);
        EXPECT_EQ(GetIni(specific, L"LastLogIdx").value_or(L"<none>"), L"0");
        EXPECT_EQ(Lines(LogFile("order", 0)).size(), c.lines);
        EXPECT_LT(fs::file_size(LogFile("order", 0)), 500u);  // 000 was created anew
    }
}

TEST_F(FileLoggingTest, RotationThroughTheRing) {
    const fs::path specific = Folder("ring") / "log.ini";
    auto fill = [](const fs::path& file, std::size_t bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << std::string(bytes, 'x');
    };
    struct Case {
        const char* name;
        std::optional<int> last_index;
        std::vector<std::pair<int, std::size_t>> existing;  // index, size
        int written;                                         // file that receives the line
        bool truncated;                                      // it starts afresh
        std::optional<std::wstring> index_after;
    };
    const Case cases[] = {
        {"file 002 full: truncated 000, index 0", 2, {{0, 500}, {2, 262144}}, 0, true, L"0"},
        {"index 7 beyond 3 entries: 000 recreated", 7, {{0, 500}}, 0, true, L"0"},
        {"negative index: 000 recreated", -1, {{0, 500}}, 0, true, L"0"},
        {"file 001 full: next is 002", 1, {{1, 262144}, {2, 900}}, 2, true, L"2"},
        {"file 001 below the limit: appended", 1, {{1, 262143}}, 1, false, L"1"},
        {"no index, no file: 000 created, index not stored", std::nullopt, {}, 0, true, std::nullopt},
        {"index names a missing file: created", 1, {}, 1, true, L"1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Base());
        fs::create_directories(Folder("ring"));
        if (c.last_index) {
            SetIni(specific, L"LastLogIdx", std::to_wstring(*c.last_index));
        }
        for (const auto& [index, size] : c.existing) {
            fill(LogFile("ring", index), size);
        }
        auto logger = Make(L"ring");
        ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"rotated"), 0u);
        const fs::path target = LogFile("ring", c.written);
        const auto size = fs::file_size(target);
        std::size_t before = 0;
        for (const auto& [index, bytes] : c.existing) {
            if (index == c.written) before = bytes;
        }
        if (c.truncated) {
            EXPECT_EQ(Lines(target).size(), 1u);
        } else {
            EXPECT_GT(size, before);
        }
        EXPECT_EQ(GetIni(specific, L"LastLogIdx"), c.index_after);
    }
}

TEST_F(FileLoggingTest, RingWrapsUnderSteadyWriting) {
    SetIni(Folder("wrap") / "log.ini", L"MaxEntries", L"2");
    auto logger = Make(L"wrap");
    const std::wstring big(4000, L'z');  // about 8 KB per line
    std::set<std::wstring> seen_indices;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, big.c_str()), 0u);
        seen_indices.insert(GetIni(Folder("wrap") / "log.ini", L"LastLogIdx").value_or(L"-"));
    }
    EXPECT_EQ(seen_indices, (std::set<std::wstring>{L"-", L"0", L"1"}));
    EXPECT_FALSE(fs::exists(LogFile("wrap", 2)));
    for (int i : {0, 1}) {
        EXPECT_LE(fs::file_size(LogFile("wrap", i)), 262144u + 8200u);
    }
}

TEST_F(FileLoggingTest, FailedWriteLeavesNoHalfLine) {
    auto logger = Make(L"full");
    ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"before"), 0u);
    const fs::path file = LogFile("full", 0);
    const auto size = fs::file_size(file);
    // A file size limit stands in for a full disk: the write stops part way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* const old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = size + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const rk::DWORD result = logger->Write(kFile, L"F", 1, 5, std::wstring(1000, L'q').c_str());
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(result, 223u);  // ERROR_FILE_TOO_LARGE, as the short write left it
    EXPECT_EQ(fs::file_size(file), size);
    ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"after"), 0u);
    const auto lines = Lines(file);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].ends_with(L" after"));
}

TEST_F(FileLoggingTest, OwnerKilledWhileHoldingTheLogMutex) {
    auto logger = Make(L"killed");
    // Another process takes this log's mutex and dies holding it.
    const std::string command = std::string(RK_LOGGING_TEST_CHILD) + " hold rk_logging_test" +
                                rk::text::wide_to_utf8(L"_CAD0E02E86CD4436B6318C111B9092AC");
    FILE* holder = ::popen(command.c_str(), "r");
    ASSERT_NE(holder, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(holder, "held %d", &pid), 1);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ::pclose(holder);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"after the owner died"), 0u);
    // The abandoned mutex is taken at once, not after the 7000 ms wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ETWLogging::kLogMutexWaitMs));
    EXPECT_EQ(Lines(LogFile("killed", 0)).size(), 1u);
}

// A link planted in the log's way is removed, never written through: at a
// folder below the base folder, at the log file itself, and at the file while
// the logger already writes to it. A log file deleted while the logger writes
// to it is created again.
TEST_F(FileLoggingTest, LinksAreRemovedNotFollowed) {
    const fs::path outside = root_.path() / "elsewhere";
    const fs::path target = outside / "target.log";
    struct Case {
        const char* name;
        fs::path link;
        bool line_before;  // the logger has written (and holds the file) first
        bool planted = true;
    };
    const Case cases[] = {
        {"folder below the base", Base() / "lnk", false},
        {"the log file", LogFile("lnk", 0), false},
        {"the log file, swapped in between two lines", LogFile("lnk", 0), true},
        {"the log file, deleted in between two lines", LogFile("lnk", 0), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Base());
        fs::remove_all(outside);
        fs::create_directories(outside);
        std::ofstream(target) << "keep";
        auto logger = Make(L"lnk");
        if (c.line_before) {
            ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"first"), 0u);
            fs::remove(c.link);
        }
        fs::create_directories(c.link.parent_path());
        if (c.link == Base() / "lnk") {
            fs::create_directory_symlink(outside, c.link);
        } else if (c.planted) {
            fs::create_symlink(target, c.link);
        }
        ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"safe"), 0u);
        EXPECT_FALSE(fs::is_symlink(c.link));
        EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);  // nothing new there
        std::ifstream in(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
        const auto lines = Lines(LogFile("lnk", 0));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(lines[0].ends_with(L" safe"));
    }
}

TEST_F(FileLoggingTest, FailedFolderCheckSilencesTheLoggerForGood) {
    struct Case {
        const char* name;
        std::function<void(CLogging&)> arrange;
    };
    const Case cases[] = {
        {"group climbs out of the base folder", [](CLogging&) {}},
        {"check reports a failure", [](CLogging& l) { l.SetFolderCheck([] { return rk::win::kErrorAccessDenied; }); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLogging logger;
        const wchar_t* group = std::string_view(c.name).starts_with("group") ? L"..\\..\\escape" : L"ok";
        ASSERT_EQ(logger.Initialize(group, nullptr, nullptr, 0), 0u);
        c.arrange(logger);
        EXPECT_EQ(logger.Write(kFile, L"F", 1, 5, L"x"), rk::win::kErrorInvalidParameter);
        EXPECT_FALSE(logger.IsEnabled());
        EXPECT_FALSE(logger.IsLevelEnabled(6));
        logger.SetEnabled(true);  // even re-enabled, the failed check stays failed
        logger.SetSeverity(1);
        EXPECT_EQ(logger.Write(kFile, L"F", 1, 5, L"x"), rk::win::kErrorInvalidParameter);
    }
    EXPECT_FALSE(fs::exists(root_.path() / "var/lib/escape"));
    EXPECT_FALSE(fs::exists(root_.path() / "var/escape"));
}

TEST_F(FileLoggingTest, DebuggerOutputOptionEchoesTheLine) {
    SetIni(Folder("dbg") / "log.ini", L"Options", L"17");
    rk::sys::test::ScopedEnv debug("RK_DEBUG_OUTPUT", "1");
    auto logger = Make(L"dbg");
    testing::internal::CaptureStderr();
    ASSERT_EQ(logger->Write(kFile, L"F", 1, 5, L"to the debugger"), 0u);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[rk_logging_test]$ to the debugger"), std::string::npos) << err;
}

TEST_F(FileLoggingTest, TwoProcessesShareOneLogWithoutLosingLines) {
    constexpr int kLines = 5000;
    // The child logs under its own program name; a 10 MB file holds all
    // 10,000 lines (about 150 bytes each), so no rotation drops any.
    const fs::path folder = Base() / "shared" / "rk_logging_test_child";
    SetIni(folder / "log.ini", L"MaxSize", L"10485760");
    const std::wstring child = rk::text::utf8_to_wide(RK_LOGGING_TEST_CHILD);
    std::unique_ptr<rk::sys::Process> processes[2];
    const wchar_t* tags[2] = {L"A", L"B"};
    for (int i = 0; i < 2; ++i) {
        rk::sys::StartOptions options;
        options.application = child;
        options.command_line = L"child file shared " + std::to_wstring(kLines) + L" " + tags[i];
        ASSERT_EQ(rk::sys::start_process(options, processes[i]), 0u);
    }
    for (auto& p : processes) {
        ASSERT_EQ(p->wait(300000), rk::win::kWaitObject0);
        rk::DWORD code = 1;
        p->exit_code(code);
        EXPECT_EQ(code, 0u);
    }
    std::set<std::wstring> seen;
    for (const auto& line : Lines(folder / "rk_logging_test_child000.log")) {
        const auto pos = line.rfind(L"]$ ");
        ASSERT_NE(pos, std::wstring::npos) << rk::text::wide_to_utf8(line);
        EXPECT_TRUE(seen.insert(line.substr(pos + 3)).second) << "twice: " << rk::text::wide_to_utf8(line);
    }
    EXPECT_EQ(seen.size(), 2u * kLines);
    for (int n : {0, kLines / 2, kLines - 1}) {
        EXPECT_TRUE(seen.count(L"A " + std::to_wstring(n))) << n;
        EXPECT_TRUE(seen.count(L"B " + std::to_wstring(n))) << n;
    }
    EXPECT_FALSE(fs::exists(folder / "rk_logging_test_child001.log"));
}

}  // namespace
