// INI: a plain INI file value; INO: a scrambled one ("PATH|SECTION@KEY").
#pragma once

#include "xml_updater/factory_support.h"
#include "xml_updater/substitutions/ini_substitution_impl.h"

namespace XMLUpdater::v2 {

class CIniSubstutition final : public ISubstitution,
                               public CSubstitutionFactorySupport<CIniSubstutition>,
                               protected CIniSubstutitionImpl {
public:
    CIniSubstutition() : CIniSubstutitionImpl(false) {}
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) override {
        return Read(arguments);
    }
};

class CObfuscatedIniSubstutition final : public ISubstitution,
                                         public CSubstitutionFactorySupport<CObfuscatedIniSubstutition>,
                                         protected CIniSubstutitionImpl {
public:
    CObfuscatedIniSubstutition() : CIniSubstutitionImpl(true) {}
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) override {
        return Read(arguments);
    }
};

}  // namespace XMLUpdater::v2
