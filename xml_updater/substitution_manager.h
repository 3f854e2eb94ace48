// CSubstitutionManager: the engine's variables and the registry of
// substitution handlers, and the expansion of "[NAME]" / "[NAME:ARGUMENTS]"
// tokens in the values that preconditions and commands read.
#pragma once

#include <array>
#include <map>
#include <unordered_map>
#include <memory>
#include <string>

#include "xml_updater/substitution_if.h"
#include "xml_updater/substitutions/token_expander.h"

namespace rk::sys {
class OsInfo;
}

namespace XMLUpdater::v2 {

class CSubstitutionManager {
public:
    // Built-in variables first, then the built-in substitutions.
    CSubstitutionManager();
    // `os_info` answers the `plat` and `os` variables (tests pose as any
    // machine); null means the running system.
    explicit CSubstitutionManager(std::shared_ptr<rk::sys::OsInfo> os_info);
    CSubstitutionManager(const CSubstitutionManager&) = delete;
    CSubstitutionManager& operator=(const CSubstitutionManager&) = delete;
    ~CSubstitutionManager();

    bool RegisterSubstitution(const std::wstring& keyword, SubstitutionCreator creator);
    bool RegisterSubstitution(const std::wstring& keyword, std::unique_ptr<ISubstitution> handler);

    // Expands every token of `text` in place, right to left; always true.
    // Self-expanding replacements are cut off (token_expander.h).
    bool Substitute(std::wstring& text);

    bool SetVariable(const std::wstring& name, const std::wstring& value);
    // False when the variable does not exist.
    bool GetVariable(const std::wstring& name, std::wstring& value) const;

    // The values of the built-in variables `os` and ".".
    std::wstring GetOsVersion() const;
    static std::wstring GetExtractDir();

private:
    std::wstring resolve(const std::wstring& name, const std::wstring* arguments);

    std::shared_ptr<rk::sys::OsInfo> os_info_;
    std::map<std::wstring, std::unique_ptr<ISubstitution>> substitutions_;
    // Looked up for every token; documents may set thousands.
    std::unordered_map<std::wstring, std::wstring> variables_;
    // Handlers may call Substitute again; deeper calls leave their text
    // unexpanded.
    static constexpr int kMaxSubstituteDepth = 16;
    // One set of expansion buffers per nesting level, reused call to call.
    std::array<ExpansionScratch, kMaxSubstituteDepth> scratch_;
    int depth_ = 0;                  // nested Substitute calls through handlers
    bool nesting_exceeded_ = false;  // until the outermost call returns
};

}  // namespace XMLUpdater::v2
