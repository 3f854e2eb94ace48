// CRkUpdateChecker: the manifest's preconditions, in order: the OS version
// ("OS"), the product's UI process not running from the updater's own
// folder, and registry values ("REGHIVE", the registry list) compared with
// expected values ("COMPARE", the comparison list).
#pragma once

#include <string>
#include <string_view>

#include "app/manifest/rk_update_checker_if.h"
#include "app/manifest/updater_environment.h"
#include "platform/system/registry/registry.h"

class CRkUpdateChecker : public IRkUpdateChecker {
public:

    explicit CRkUpdateChecker(std::shared_ptr<const rk::app::UpdaterEnvironment> env);

    void SetRegInfoVars(const rk::app::StringMap& regInfo) override;
    void SetPrereqVars(const rk::app::StringMap& prereq) override;
    void SetCompareVals(const rk::app::CompareMap& compareVals) override;
    bool IsOSVersionSupported() override;
    bool IsUIProcessRunning() override;
    bool IsPreConditionSuccess(std::wstring& detail) override;
    std::wstring GetAffiliateId() override;

    // Root key for "REGHIVE"; null for an absent, empty or unknown name.
    rk::sys::reg::HKEY getRegistryHive();
    // One "key path@value name" location read as a string; empty on failure.
    std::wstring ReadRegValue(std::wstring_view location);
    void ReadRegistryValues();
    // Throws std::out_of_range for a name that is not in the registry list,
    // or when "COMPARE" is absent and a "VER" entry is compared.
    bool CompareValues();
    bool CompareVersions(std::wstring_view value, std::wstring_view expected);
    // 64-bit conversions of both sides (leading blanks, sign, digits; the
    // rest ignored); false when either has no digits or is out of range.
    static bool CompareNumbers(std::wstring_view a, std::wstring_view relation, std::wstring_view b);

    const rk::app::StringMap& RegistryValues() const { return regValues_; }

private:
    std::shared_ptr<const rk::app::UpdaterEnvironment> env_;
    rk::app::StringMap regInfo_;
    rk::app::StringMap regValues_;
    rk::app::StringMap prereq_;
    rk::app::CompareMap compareVals_;
    const std::wstring verType_{rk::app::kCompareTypeVersion};
    const std::wstring strType_{rk::app::kCompareTypeString};
};
