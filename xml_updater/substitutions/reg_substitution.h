// The registry substitutions, one class per keyword family and view:
//   REG, REG32 / REG64 / REGISTRY: plain values in the 32-bit, 64-bit and
//   native view; RGO, RGO32 / RGO64 / OREGISTRY: the same, scrambled.
#pragma once

#include "platform/system/registry/registry.h"
#include "xml_updater/factory_support.h"
#include "xml_updater/substitutions/reg_substitution_impl.h"

namespace XMLUpdater::v2 {

template <typename Self, DiraDoro::REGSAM View, bool Scrambled>
class CRegSubstitutionOf : public ISubstitution,
                           public CSubstitutionFactorySupport<Self>,
                           protected CRegSubstitutionImpl {
public:
    CRegSubstitutionOf() : CRegSubstitutionImpl(View, Scrambled) {}
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* /*manager*/) override {
        return Query(arguments);
    }
};

class CRegSubstitution final
    : public CRegSubstitutionOf<CRegSubstitution, rk::sys::reg::KEY_WOW64_32KEY, false> {};
class CReg64Substitution final
    : public CRegSubstitutionOf<CReg64Substitution, rk::sys::reg::KEY_WOW64_64KEY, false> {};
class CRegistrySubstitution final : public CRegSubstitutionOf<CRegistrySubstitution, 0, false> {};
class CObfuscatedRegSubstitution final
    : public CRegSubstitutionOf<CObfuscatedRegSubstitution, rk::sys::reg::KEY_WOW64_32KEY, true> {};
class CObfuscatedReg64Substitution final
    : public CRegSubstitutionOf<CObfuscatedReg64Substitution, rk::sys::reg::KEY_WOW64_64KEY, true> {};
class CObfuscatedRegistrySubstitution final : public CRegSubstitutionOf<CObfuscatedRegistrySubstitution, 0, true> {};

}  // namespace XMLUpdater::v2
