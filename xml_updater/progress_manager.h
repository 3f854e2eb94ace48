// Download progress reporting of DOWNLOAD and DOWNLOADEX: the host's
// optional progress manager and the engine's wrapper around it.
//
// The manager is implemented by the host (rkctl's progress bar, the
// analytics engine's pipe). Every report names the download by the `id`
// attribute of its command; downloads without an id are not reported.
// DOWNLOAD reports to any progress_manager, DOWNLOADEX only to a
// progress_manager_ex.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace XMLUpdater::v2 {

// Status values of end().
inline constexpr int kProgressSuccess = 0;
inline constexpr int kProgressAlreadyExists = 1;
inline constexpr int kProgressNoFileName = 3;
inline constexpr int kProgressRenameFailed = 4;
inline constexpr int kProgressFileFailed = 6;
inline constexpr int kProgressConnectionFailed = 7;
// The file arrived but failed its signature or MD5 check and was deleted.
inline constexpr int kProgressRejected = 8;

class progress_manager {
public:
    virtual ~progress_manager() = default;
    // A download starts; `detail` is the command's `extra` attribute.
    virtual void begin(const std::wstring& id, const std::wstring& detail) = 0;
    // After each piece: bytes of the file so far, the full length (0 when
    // not known yet), bytes received over the network by this download (less
    // than `done` when it resumed).
    virtual void progress(const std::wstring& id, std::uint64_t done, std::uint64_t total,
                          std::uint64_t received) = 0;
    // The download ended with a kProgress* status; `error` says why it
    // failed (empty on success).
    virtual void end(const std::wstring& id, int status, const std::wstring& error) = 0;
};

class progress_manager_ex : public progress_manager {
public:
    // The pipe the host's reporter should use (DOWNLOADEX ProgressPipeName).
    virtual void set_pipe_name(const std::wstring& name) = 0;
};

inline constexpr wchar_t kMsgNoProgressManagerEx[] =
    L"No progress_manager_ex instance.Progress information on DownloadEx will not be reported.";

class progress_manager_wrapper {
public:
    // Keeps the manager and, when it is a progress_manager_ex, that view of
    // it; a manager that is not logs kMsgNoProgressManagerEx (a warning).
    void Initialize(std::shared_ptr<progress_manager> manager);
    progress_manager* get() const { return manager_.get(); }
    progress_manager_ex* ex() const { return ex_; }

private:
    std::shared_ptr<progress_manager> manager_;
    progress_manager_ex* ex_ = nullptr;
};

}  // namespace XMLUpdater::v2
