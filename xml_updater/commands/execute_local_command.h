// EXECUTE_LOCAL Command="program" [Param="arguments"] [HideWindow="TRUE"]
// [DeleteFile="TRUE"]: runs a signed local program from the executable's
// folder, waits for it and sets "?" to its exit code.
#pragma once

#include <string>

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CExecuteLocalCommand : public ICommand, public CCommandFactorySupport<CExecuteLocalCommand> {
public:
    static constexpr wchar_t kAttrCommand[] = L"Command";
    static constexpr wchar_t kAttrParam[] = L"Param";
    static constexpr wchar_t kAttrHideWindow[] = L"HideWindow";
    static constexpr wchar_t kAttrDeleteFile[] = L"DeleteFile";
    // The working folder: the running executable's own.
    static constexpr wchar_t kWorkingDirectory[] = L"[.]";

    bool Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> sender) override;

    // Checks the program's signature, runs `"command" param` in
    // `working_directory`, waits without time-out and stores the exit code in
    // "?". Linux programs have no window: `hide_window` is passed on and
    // changes nothing.
    static bool ExecuteLocalCommand(CSubstitutionManager& substitutions, const std::wstring& command,
                                    const std::wstring& param, const std::wstring& working_directory,
                                    bool hide_window, bool delete_file);
};

}  // namespace XMLUpdater::v2
