// The provider over a copy of a machine's files (testdata/machine) and over
// the running machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/system/test/temp_root.h"
#include "platform/system/wmi/wbem_locator.h"

namespace rk::sys::wmi {
namespace {

namespace fs = std::filesystem;

const fs::path kMachine = fs::path(RK_SOURCE_DIR) / "platform/system/wmi/testdata/machine";

using Row = std::map<std::wstring, WbemValue>;
const WbemValue kNull{};

WbemValue text(const wchar_t* value) { return std::wstring(value); }
WbemValue number(std::int32_t value) { return value; }

// The two processors of the machine files differ only in these.
Row processor(const wchar_t* id, std::int32_t current_mhz, std::int32_t max_mhz) {
    return {{L"DeviceID", text(id)},
            {L"Name", text(L"Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz")},
            {L"Manufacturer", text(L"GenuineIntel")},
            {L"NumberOfCores", number(2)},
            {L"NumberOfLogicalProcessors", number(2)},
            {L"CurrentClockSpeed", number(current_mhz)},
            {L"MaxClockSpeed", number(max_mhz)},
            {L"Architecture", number(9)},
            {L"AddressWidth", number(64)}};
}

// A disk is a network share exactly when it has a provider.
Row disk(const wchar_t* id, const wchar_t* file_system, const WbemValue& provider, const std::wstring& size) {
    const bool network = provider != kNull;
    return {{L"DeviceID", text(id)},
            {L"Description", text(network ? L"Network Connection" : L"Local Fixed Disk")},
            {L"DriveType", number(network ? 4 : 3)},
            {L"FileSystem", text(file_system)},
            {L"ProviderName", provider},
            {L"Size", size}};
}

class WbemServicesTest : public ::testing::Test {
protected:
    // Runs the query; the rows in enumeration order, or the failure.
    HRESULT query(const std::wstring& wql, std::vector<Row>& rows, const std::wstring& language = L"WQL") {
        rows.clear();
        std::shared_ptr<WbemServices> services;
        if (const HRESULT hr = locator_.connect_server(L"root\\cimv2", services); hr != 0) {
            return hr;
        }
        std::shared_ptr<WbemEnumerator> results;
        if (const HRESULT hr = services->exec_query(language, wql, results); hr != 0) {
            EXPECT_EQ(results, nullptr);
            return hr;
        }
        std::shared_ptr<const WbemClassObject> object;
        while (results->next(object) == 0) {
            Row row;
            for (const auto& property : object->properties()) {
                row[property.name] = property.value;
            }
            rows.push_back(std::move(row));
        }
        EXPECT_EQ(object, nullptr);
        return 0;
    }

    std::vector<Row> rows_of(const std::wstring& wql) {
        std::vector<Row> rows;
        EXPECT_EQ(query(wql, rows), 0) << wql;
        return rows;
    }

    test::ScopedEnv no_root_{"RK_ROOT", std::nullopt};
    WbemLocator locator_{folder_machine_source(kMachine, "x86_64")};
};

TEST_F(WbemServicesTest, EveryClassFromTheMachineFiles) {
    const auto data = fs::space(kMachine);
    const std::wstring size = std::to_wstring(data.capacity);
    const struct {
        const wchar_t* wql;
        std::vector<Row> expected;
    } cases[] = {
        {L"SELECT * FROM Win32_OperatingSystem",
         {{{L"Caption", text(L"Debian GNU/Linux 12 (bookworm)")},
           {L"Name", text(L"Debian GNU/Linux 12 (bookworm)")},
           {L"Version", text(L"6.1.0")},
           {L"BuildNumber", text(L"0")},
           {L"OSArchitecture", text(L"64-bit")},
           {L"CSName", text(L"build-host")},
           {L"OSType", number(36)},
           {L"ProductType", number(1)},
           {L"LastBootUpTime", text(L"20240105123000.000000+000")},
           {L"TotalVisibleMemorySize", text(L"16303040")},
           {L"FreePhysicalMemory", text(L"9876544")}}}},
        {L"SELECT * FROM Win32_ComputerSystem",
         {{{L"Name", text(L"build-host")},
           {L"DNSHostName", text(L"build-host")},
           {L"Manufacturer", text(L"QEMU")},
           {L"Model", text(L"Standard PC (Q35 + ICH9, 2009)")},
           {L"SystemFamily", kNull},
           {L"SystemType", text(L"x64-based PC")},
           {L"TotalPhysicalMemory", text(L"16694312960")},
           {L"NumberOfProcessors", number(2)},
           {L"NumberOfLogicalProcessors", number(4)}}}},
        {L"SELECT * FROM Win32_Processor", {processor(L"CPU0", 2399, 3300), processor(L"CPU1", 2400, 2400)}},
        {L"SELECT * FROM Win32_BIOS",
         {{{L"Manufacturer", text(L"SeaBIOS")},
           {L"Name", text(L"rel-1.16.2-0-gea1b7a073390-prebuilt.qemu.org")},
           {L"Version", text(L"rel-1.16.2-0-gea1b7a073390-prebuilt.qemu.org")},
           {L"SMBIOSBIOSVersion", text(L"rel-1.16.2-0-gea1b7a073390-prebuilt.qemu.org")},
           {L"ReleaseDate", text(L"20140401000000.000000+000")},
           {L"SerialNumber", kNull}}}},
        // Pseudo file systems are no disks; the tmpfs over /mnt/with blank
        // hides the disk mounted there before.
        {L"SELECT DeviceID, Description, DriveType, FileSystem, ProviderName, Size FROM Win32_LogicalDisk",
         {disk(L"C:", L"ext4", kNull, size), disk(L"/data", L"xfs", kNull, size),
          disk(L"/home/share", L"nfs4", text(L"server:/export"), size)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rows_of(c.wql), c.expected) << c.wql;
    }
}

TEST_F(WbemServicesTest, WhereAndProjection) {
    const struct {
        const wchar_t* wql;
        std::vector<Row> expected;
    } cases[] = {
        {L"select devicEID from win32_logicaldisk where DEVICEID = 'c:'", {{{L"DeviceID", text(L"C:")}}}},
        {L"SELECT DeviceID FROM Win32_LogicalDisk WHERE DriveType = 4", {{{L"DeviceID", text(L"/home/share")}}}},
        {L"SELECT DeviceID FROM Win32_LogicalDisk WHERE DriveType = '4'", {{{L"DeviceID", text(L"/home/share")}}}},
        {L"SELECT DeviceID FROM Win32_Processor WHERE CurrentClockSpeed = 2400", {{{L"DeviceID", text(L"CPU1")}}}},
        {L"SELECT Model FROM Win32_ComputerSystem WHERE TotalPhysicalMemory = 16694312960",
         {{{L"Model", text(L"Standard PC (Q35 + ICH9, 2009)")}}}},
        {L"SELECT * FROM Win32_LogicalDisk WHERE DeviceID = 'D:'", {}},
        // A null value matches nothing, not even the empty text.
        {L"SELECT Name FROM Win32_ComputerSystem WHERE SystemFamily = ''", {}},
        {L"SELECT Caption, Caption FROM Win32_OperatingSystem",
         {{{L"Caption", text(L"Debian GNU/Linux 12 (bookworm)")}}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rows_of(c.wql), c.expected) << c.wql;
    }
}

// The drive root of a rooted run names the disk that holds the root prefix.
TEST_F(WbemServicesTest, DriveCIsTheDiskOfTheRootPrefix) {
    const test::ScopedEnv root("RK_ROOT", "/data/rk");
    EXPECT_EQ(rows_of(L"SELECT DeviceID FROM Win32_LogicalDisk"),
              (std::vector<Row>{{{L"DeviceID", text(L"/")}}, {{L"DeviceID", text(L"C:")}},
                                {{L"DeviceID", text(L"/home/share")}}}));
}

TEST_F(WbemServicesTest, Failures) {
    std::shared_ptr<WbemServices> services;
    for (const wchar_t* name_space : {L"", L"ROOT\\CIMV2", L"root/cimv2", L"\\\\.\\root\\cimv2", L"\\\\localhost\\root\\CIMV2"}) {
        EXPECT_EQ(locator_.connect_server(name_space, services), 0) << name_space;
        EXPECT_NE(services, nullptr);
    }
    for (const wchar_t* name_space : {L"root\\default", L"root", L"\\\\server\\root\\cimv2", L"root\\cimv2\\x"}) {
        EXPECT_EQ(locator_.connect_server(name_space, services), static_cast<HRESULT>(0x8004100Eu)) << name_space;
        EXPECT_EQ(services, nullptr);
    }

    const struct {
        const wchar_t* language;
        const wchar_t* wql;
        std::uint32_t expected;
    } queries[] = {
        {L"wql", L"SELECT * FROM Win32_BIOS", 0},
        {L"SQL", L"SELECT * FROM Win32_BIOS", 0x80041018u},
        {L"WQL", L"SELECT * FROM Win32_Process", 0x80041010u},
        {L"WQL", L"SELECT * FROM Win32_BIOS2", 0x80041010u},
        {L"WQL", L"SELECT Nope FROM Win32_BIOS", 0x80041017u},
        {L"WQL", L"SELECT * FROM Win32_BIOS WHERE Nope = 1", 0x80041017u},
        {L"WQL", L"SELECT * FROM", 0x80041017u},
    };
    for (const auto& q : queries) {
        std::vector<Row> rows;
        EXPECT_EQ(query(q.wql, rows, q.language), static_cast<HRESULT>(q.expected)) << q.wql;
    }
}

TEST_F(WbemServicesTest, EnumeratorAndObject) {
    std::shared_ptr<WbemServices> services;
    ASSERT_EQ(locator_.connect_server(L"root\\cimv2", services), 0);
    std::shared_ptr<WbemEnumerator> results;
    ASSERT_EQ(services->exec_query(L"WQL", L"SELECT Name FROM Win32_Processor", results), 0);
    std::shared_ptr<const WbemClassObject> object;
    ASSERT_EQ(results->next(object), 0);
    ASSERT_EQ(results->next(object), 0);
    EXPECT_EQ(results->next(object), 1);  // WBEM_S_FALSE
    EXPECT_EQ(results->next(object), 1);
    ASSERT_EQ(results->reset(), 0);
    ASSERT_EQ(results->next(object), 0);
    EXPECT_EQ(object->class_name(), L"Win32_Processor");
    WbemValue value;
    EXPECT_EQ(object->get(L"NAME", value), 0);
    EXPECT_EQ(value, text(L"Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz"));
    // Not selected, and not a property at all.
    EXPECT_EQ(object->get(L"DeviceID", value), static_cast<HRESULT>(0x80041002u));
    EXPECT_EQ(value, kNull);
    EXPECT_EQ(object->get(L"Nope", value), static_cast<HRESULT>(0x80041002u));
}

// Missing files leave properties null and classes without instances, never
// a failed query.
TEST(WbemServicesEmptyMachine, MissingFilesGiveNulls) {
    const test::TempRoot empty;
    const WbemLocator locator(folder_machine_source(empty.path(), "riscv64"));
    std::shared_ptr<WbemServices> services;
    ASSERT_EQ(locator.connect_server(L"", services), 0);
    const struct {
        const wchar_t* wql;
        std::size_t count;
    } cases[] = {{L"SELECT * FROM Win32_OperatingSystem", 1}, {L"SELECT * FROM Win32_ComputerSystem", 1},
                 {L"SELECT * FROM Win32_Processor", 0},       {L"SELECT * FROM Win32_BIOS", 1},
                 {L"SELECT * FROM Win32_LogicalDisk", 0}};
    for (const auto& c : cases) {
        std::shared_ptr<WbemEnumerator> results;
        ASSERT_EQ(services->exec_query(L"WQL", c.wql, results), 0) << c.wql;
        std::size_t count = 0;
        std::shared_ptr<const WbemClassObject> object;
        while (results->next(object) == 0) {
            ++count;
            WbemValue value;
            if (object->get(L"Caption", value) == 0) {
                EXPECT_EQ(value, text(L"Linux"));  // os-release's default NAME
            }
            if (object->get(L"SystemType", value) == 0) {
                EXPECT_EQ(value, text(L"riscv64"));
            }
            if (object->get(L"Manufacturer", value) == 0) {
                EXPECT_EQ(value, kNull);
            }
        }
        EXPECT_EQ(count, c.count) << c.wql;
    }
}

// The running machine: the figures agree with independent sources.
TEST(WbemServicesRealMachine, AgreesWithTheSystem) {
    const test::ScopedEnv no_root("RK_ROOT", std::nullopt);
    const WbemLocator locator;
    std::shared_ptr<WbemServices> services;
    ASSERT_EQ(locator.connect_server(L"root\\cimv2", services), 0);
    // The one selected property of the first object the query gives.
    const auto first = [&](const wchar_t* wql, const wchar_t* property) {
        std::shared_ptr<WbemEnumerator> results;
        std::shared_ptr<const WbemClassObject> object;
        WbemValue value;
        EXPECT_EQ(services->exec_query(L"WQL", wql, results), 0) << wql;
        if (results != nullptr && results->next(object) == 0) {
            EXPECT_EQ(object->get(property, value), 0) << wql;
        }
        return value;
    };
    EXPECT_EQ(first(L"SELECT Size, FileSystem FROM Win32_LogicalDisk WHERE DeviceID = 'C:'", L"Size"),
              WbemValue(std::to_wstring(fs::space("/").capacity)));
    const WbemValue logical = first(L"SELECT NumberOfLogicalProcessors FROM Win32_ComputerSystem",
                                    L"NumberOfLogicalProcessors");
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(logical));
    EXPECT_GE(std::get<std::int32_t>(logical), 1);
    const WbemValue caption = first(L"SELECT Caption FROM Win32_OperatingSystem", L"Caption");
    ASSERT_TRUE(std::holds_alternative<std::wstring>(caption));
    EXPECT_FALSE(std::get<std::wstring>(caption).empty());
}

}  // namespace
}  // namespace rk::sys::wmi
