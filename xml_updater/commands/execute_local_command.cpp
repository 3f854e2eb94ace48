#include "xml_updater/commands/execute_local_command.h"

#include <memory>

#include "platform/system/file.h"
#include "platform/system/files.h"
#include "platform/system/process/process.h"
#include "xml_updater/commands/bool_parse.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/file_signature.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/updater.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"execute_local_command.cpp";
}  // namespace

bool CExecuteLocalCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                   std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    constexpr wchar_t kFunction[] = L"CExecuteLocalCommand::Execute";
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    auto command = attribute(attributes, kAttrCommand);
    if (!command) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to read Command attribute of EXECUTE_LOCAL command");
        return false;
    }
    std::wstring param = attribute(attributes, kAttrParam).value_or(L"");
    std::wstring hide = attribute(attributes, kAttrHideWindow).value_or(kTextFalse);
    std::wstring working_directory = kWorkingDirectory;
    if (!substitutions->Substitute(working_directory) || !substitutions->Substitute(*command) ||
        !substitutions->Substitute(param) || !substitutions->Substitute(hide)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to get temporary working directory and/or do substitutions");
        return false;
    }
    SetAttribute(attributes, kAttrCommand, *command);
    bool delete_file = false;
    if (auto text = attribute(attributes, kAttrDeleteFile)) {
        if (!substitutions->Substitute(*text)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute DeleteFile attribute");
            return false;
        }
        SetAttribute(attributes, kAttrDeleteFile, *text);
        if (!TryParseBool(*text, delete_file)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                          L"Failed to parse KeepFile as a boolean - default to false");
            delete_file = false;
        }
    }
    return ExecuteLocalCommand(*substitutions, *command, param, working_directory, hide == kTextTrue, delete_file);
}

bool CExecuteLocalCommand::ExecuteLocalCommand(CSubstitutionManager& substitutions, const std::wstring& command,
                                               const std::wstring& param, const std::wstring& working_directory,
                                               bool hide_window, bool delete_file) {
    constexpr wchar_t kFunction[] = L"CExecuteLocalCommand::ExecuteLocalCommand";
    // One open file is checked and started, so a file swapped in under the
    // name after the check never runs.
    rk::sys::File program;
    if (rk::sys::File::open(command, rk::sys::FileOpenOptions{}, program) != rk::win::kErrorSuccess ||
        !VerifyCorvaneSignatureImpl(program)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Signature check failed for command %s", command);
        return false;
    }
    // A downloaded or unpacked program has no execute permission yet; it
    // gets it once its signature is accepted.
    program.make_executable();
    rk::sys::StartOptions options;
    options.command_line = L"\"" + command + L"\" " + param;
    options.working_directory = working_directory;
    options.hidden = hide_window;
    XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, L"Running %s in %s (HideWindow %s)",
                  options.command_line, working_directory, hide_window ? kTextTrue : kTextFalse);
    std::unique_ptr<rk::sys::Process> process;
    if (const rk::DWORD error = rk::sys::start_process_from_file(program, options, process); error != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to run %s, error (%d)", options.command_line,
                      error);
        return false;
    }
    if (process->wait(rk::win::kInfinite) != rk::win::kWaitObject0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Wait for process failed for command %s", command);
        return false;
    }
    rk::DWORD exit_code = 0;
    if (const rk::DWORD error = process->exit_code(exit_code); error != rk::win::kErrorSuccess) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to get process exit code (%d)", error);
        return false;
    }
    program.close();
    if (delete_file) {
        if (const rk::DWORD error = rk::sys::delete_file(command); error != rk::win::kErrorSuccess) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to delete executable (%d)", error);
        }
    }
    substitutions.SetVariable(kVarExitCode, std::to_wstring(exit_code));
    return true;
}

}  // namespace XMLUpdater::v2
