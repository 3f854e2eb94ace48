#include "xml_updater/substitution_manager.h"

#include <exception>

#include "platform/errors/win_error.h"
#include "platform/system/osinfo/os_info.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/text/format.h"
#include "xml_updater/substitutions/date_substitution.h"
#include "xml_updater/substitutions/dir_substitution.h"
#include "xml_updater/substitutions/file_exists_substitution.h"
#include "xml_updater/substitutions/file_version_substitution.h"
#include "xml_updater/substitutions/ini_substitution.h"
#include "xml_updater/substitutions/reg_substitution.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/substitutions/system_facts.h"
#include "xml_updater/substitutions/token_expander.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"substitution_manager.cpp";

struct DepthGuard {
    DepthGuard(int& depth, bool& exceeded) : depth_(depth), exceeded_(exceeded) { ++depth_; }
    ~DepthGuard() {
        if (--depth_ == 0) {
            exceeded_ = false;
        }
    }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    int& depth_;
    bool& exceeded_;
};

}  // namespace

CSubstitutionManager::CSubstitutionManager() : CSubstitutionManager(nullptr) {}

CSubstitutionManager::CSubstitutionManager(std::shared_ptr<rk::sys::OsInfo> os_info)
    : os_info_(os_info ? std::move(os_info) : rk::sys::system_os_info()) {
    const rk::sys::OsVersion version = os_info_->version();
    variables_[kVarPlat] = platform_of_machine(version.machine);
    variables_[kVarOs] = GetOsVersion();
    variables_[kVarExtractDir] = GetExtractDir();
    variables_[kVarExitCode] = kInitialExitCode;
    variables_[kVarUpdaterVersion] = kUpdaterVersion;

    RegisterSubstitution(kSubFileExists, &CFileExistsSubstitution::Create);
    RegisterSubstitution(kSubFileVersion, &CFileVersionSubstitution::Create);
    RegisterSubstitution(kSubDir, &CDirSubstitution::Create);
    RegisterSubstitution(kSubReg, &CRegSubstitution::Create);
    RegisterSubstitution(kSubReg32, &CRegSubstitution::Create);
    RegisterSubstitution(kSubReg64, &CReg64Substitution::Create);
    RegisterSubstitution(kSubRegistry, &CRegistrySubstitution::Create);
    RegisterSubstitution(kSubRgo, &CObfuscatedRegSubstitution::Create);
    RegisterSubstitution(kSubRgo32, &CObfuscatedRegSubstitution::Create);
    RegisterSubstitution(kSubRgo64, &CObfuscatedReg64Substitution::Create);
    RegisterSubstitution(kSubObfuscatedRegistry, &CObfuscatedRegistrySubstitution::Create);
    RegisterSubstitution(kSubIni, &CIniSubstutition::Create);
    RegisterSubstitution(kSubIno, &CObfuscatedIniSubstutition::Create);
    RegisterSubstitution(kSubDate, &CDateSubstitution::Create);
}

CSubstitutionManager::~CSubstitutionManager() = default;

bool CSubstitutionManager::RegisterSubstitution(const std::wstring& keyword, SubstitutionCreator creator) {
    if (creator == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::RegisterSubstitution", __LINE__,
                      kMsgInvalidFactory);
        return false;
    }
    return RegisterSubstitution(keyword, creator());
}

bool CSubstitutionManager::RegisterSubstitution(const std::wstring& keyword, std::unique_ptr<ISubstitution> handler) {
    if (keyword.empty() || !handler) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::RegisterSubstitution", __LINE__,
                      kMsgInvalidArgument);
        return false;
    }
    if (substitutions_.contains(keyword)) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::RegisterSubstitution", __LINE__,
                      kMsgSubstitutionExists);
        return false;
    }
    substitutions_.emplace(keyword, std::move(handler));
    return true;
}

std::wstring CSubstitutionManager::resolve(const std::wstring& name, const std::wstring* arguments) {
    if (nesting_exceeded_) {
        return kUnknownValue;
    }
    if (arguments != nullptr) {
        const auto it = substitutions_.find(name);
        if (it == substitutions_.end() || !it->second) {
            return kUnknownValue;
        }
        return it->second->Substitute(*arguments, this);
    }
    const auto it = variables_.find(name);
    return it == variables_.end() ? std::wstring(kUnknownValue) : it->second;
}

bool CSubstitutionManager::Substitute(std::wstring& text) {
    if (depth_ >= kMaxSubstituteDepth) {
        if (!nesting_exceeded_) {
            XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::Substitute", __LINE__,
                          kMsgSubstitutionTooDeep, kMaxSubstituteDepth);
        }
        // Every token still open in the outer calls yields "!UNKNOWN" now;
        // otherwise each level would re-expand the handler's answer again.
        nesting_exceeded_ = true;
        return true;
    }
    if (text.find(L'[') == std::wstring::npos) {
        return true;  // no token: most operands and values
    }
    const DepthGuard guard(depth_, nesting_exceeded_);
    TokenResolver resolver;
    resolver.resolve = [this](const std::wstring& name, const std::wstring* arguments) {
        return resolve(name, arguments);
    };
    resolver.limit_hit = [](ExpansionLimit limit, const std::wstring& name) {
        if (limit == ExpansionLimit::Chain) {
            XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::Substitute", __LINE__, kMsgExpansionLoop,
                          name, static_cast<unsigned>(kMaxChainedExpansions));
        } else {
            XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::Substitute", __LINE__, kMsgExpansionTooLong,
                          name, static_cast<unsigned>(kMaxExpandedChars));
        }
    };
    try {
        expand_tokens(text, resolver, scratch_[depth_ - 1]);
    } catch (const std::exception& e) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::Substitute", __LINE__, kMsgSubstitutionThrew,
                      e.what());
    }
    return true;
}

bool CSubstitutionManager::SetVariable(const std::wstring& name, const std::wstring& value) {
    variables_[name] = value;
    return true;
}

bool CSubstitutionManager::GetVariable(const std::wstring& name, std::wstring& value) const {
    const auto it = variables_.find(name);
    if (it == variables_.end()) {
        return false;
    }
    value = it->second;
    return true;
}

std::wstring CSubstitutionManager::GetOsVersion() const {
    const rk::sys::OsVersion version = os_info_->version();
    if (version.major == 0 && version.minor == 0 && version.build == 0) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::GetOsVersion", __LINE__,
                      kMsgKernelVersionFailed);
        return kUnknownValue;
    }
    return os_version_text(version);
}

std::wstring CSubstitutionManager::GetExtractDir() {
    const std::wstring image = rk::sys::own_image_path();
    if (image.empty()) {
        XmlUpdaterLog(kXmlLogError, kFile, L"CSubstitutionManager::GetExtractDir", __LINE__,
                      kMsgModuleFileNameFailed, static_cast<int>(rk::win::kErrorFileNotFound));
        return kUnknownValue;
    }
    const rk::sys::SplitPath parts = rk::sys::split_path(image);
    return parts.drive + parts.directory;
}

}  // namespace XMLUpdater::v2
