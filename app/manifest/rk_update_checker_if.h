// IRkUpdateChecker: decides whether the update a manifest offers applies to
// this machine (OS version, the product's UI process, registry values).
#pragma once

#include <string>

#include "app/manifest/manifest_words.h"

class IRkUpdateChecker {
public:
    IRkUpdateChecker() = default;
    IRkUpdateChecker(const IRkUpdateChecker&) = delete;
    IRkUpdateChecker& operator=(const IRkUpdateChecker&) = delete;

    // Registry list: variable name -> "key path@value name".
    virtual void SetRegInfoVars(const rk::app::StringMap& regInfo) = 0;
    virtual void SetPrereqVars(const rk::app::StringMap& prereq) = 0;
    virtual void SetCompareVals(const rk::app::CompareMap& compareVals) = 0;
    virtual bool IsOSVersionSupported() = 0;
    virtual bool IsUIProcessRunning() = 0;
    // `detail` receives "oscheckfailed", "rkuicntalreadyrunning",
    // "preconditionsuccess" or "preconditionfailed"; it is left as it was
    // when a std::exception ended the check (logged, false).
    virtual bool IsPreConditionSuccess(std::wstring& detail) = 0;
    // The value read for "LMRA_AFFID", empty when there is none.
    virtual std::wstring GetAffiliateId() = 0;
    virtual ~IRkUpdateChecker() = default;
};
