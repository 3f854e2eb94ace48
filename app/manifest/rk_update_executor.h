// CRkUpdateExecutor: downloads the installer a manifest names into its
// destination folder, checks its publisher signature when asked, runs it with
// the manifest's parameters, waits for it, and may delete the folder
// afterwards. Every outcome is a result word in the detail string.
#pragma once

#include <string>

#include "app/manifest/manifest_words.h"
#include "app/manifest/updater_environment.h"
#include "platform/system/folder.h"

class CRkUpdateExecutor {
public:
    // The installer's command line is cut to this many characters less one
    // (CreateProcessW's buffer of MAX_PATH).
    static constexpr std::size_t kCommandLineBuffer = 260;
    // Paths inside a tree being deleted are built in MAX_PATH buffers; longer
    // ones are left alone (and keep their folder from being removed).
    static constexpr std::size_t kMaxChildPath = 260;

    explicit CRkUpdateExecutor(std::shared_ptr<const rk::app::UpdaterEnvironment> env);
    CRkUpdateExecutor(const CRkUpdateExecutor&) = delete;
    CRkUpdateExecutor& operator=(const CRkUpdateExecutor&) = delete;

    void SetUpdateCommands(const rk::app::StringMap& commands);
    void SetAffiliateId(const std::wstring& affiliateId) { affiliateId_ = affiliateId; }

    // True only when the installer was downloaded, passed the signature check
    // when one was asked for, was started and has ended (whatever its exit
    // code). `detail` always receives a result word.
    bool DownloadAndExecuteInstaller(std::wstring& detail);
    // True when "DELETE" is "TRUE" and the destination folder existed and was
    // deleted (or scheduled for deletion at the next start).
    bool DeleteIfNeeded();

    // "DESTDIR" with its [DIR:...] macro resolved; empty when it is missing,
    // has no backslash or names an unknown macro.
    std::wstring ResolveDestDir() const;
    // The download URL with the affiliate identifier in place.
    static std::wstring FormDownloadUrl(const std::wstring& url, const std::wstring& affiliateId);
    // Deletes a folder tree the way the product does: files (read-only bits
    // cleared) and sub-folders whose names do not begin with a dot; what
    // cannot go now is scheduled for deletion at the next start. Paths
    // shorter than 4 characters are refused.
    void DeleteDirectoryTree(const std::wstring& path) const;

    const std::wstring& AffiliateId() const { return affiliateId_; }
    const std::wstring& AllowedDomain() const { return env_->allowed_domain; }

private:
    // The destination as a trusted base and a path below it: the known
    // folder and the rest of "DESTDIR", or (no usable "DESTDIR") the
    // updater's own folder and "Installer". False when neither exists.
    bool DestinationParts(std::wstring& base, std::wstring& relative) const;
    // Opens (creating its last level) the destination below its base, links
    // removed, and checks that nobody else can write it: 0 or the error.
    rk::DWORD PrepareDestination(const std::wstring& base, const std::wstring& relative,
                                 rk::sys::Folder& folder) const;
    std::wstring Command(const wchar_t* key) const;
    void ScheduleDelete(const std::wstring& path, bool clear_read_only) const;

    std::shared_ptr<const rk::app::UpdaterEnvironment> env_;
    rk::app::StringMap commands_;
    std::wstring affiliateId_;
};
