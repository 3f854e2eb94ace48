#include "platform/errors/errno_map.h"

#include <cerrno>
#include <utility>

namespace rk::win {
namespace {

// A table rather than a switch: several names share a value on some
// systems (EAGAIN/EWOULDBLOCK, ENOTSUP/EOPNOTSUPP, EDEADLK/EDEADLOCK), and
// the first row for a value wins.
constexpr std::pair<int, DWORD> kErrnoToWin32[] = {
    {0, kErrorSuccess},
    {ENOENT, kErrorFileNotFound},
    {ENOTDIR, kErrorPathNotFound},
    {EACCES, kErrorAccessDenied},
    {EPERM, kErrorAccessDenied},
    {EROFS, kErrorAccessDenied},
    // CreateFileW on a folder fails with access denied.
    {EISDIR, kErrorAccessDenied},
    {EEXIST, kErrorAlreadyExists},
    {ENOMEM, kErrorNotEnoughMemory},
    {EINVAL, kErrorInvalidParameter},
    {ESPIPE, kErrorInvalidParameter},
    {E2BIG, kErrorInvalidParameter},
    // OpenProcess on an identifier that names no process fails with 87.
    {ESRCH, kErrorInvalidParameter},
    {ENOSPC, kErrorDiskFull},
#ifdef EDQUOT  // not in every C runtime (Windows' has no quotas in errno)
    {EDQUOT, kErrorDiskFull},
#endif
    {EFBIG, kErrorFileTooLarge},
    {ENAMETOOLONG, kErrorFilenameExcedRange},
    {ENOTEMPTY, kErrorDirNotEmpty},
    {EBUSY, kErrorSharingViolation},
    {ETXTBSY, kErrorSharingViolation},
    {EAGAIN, kErrorBusy},
    {EWOULDBLOCK, kErrorBusy},
    {EMFILE, kErrorTooManyOpenFiles},
    {ENFILE, kErrorTooManyOpenFiles},
    {EBADF, kErrorInvalidHandle},
    {ETIMEDOUT, kWaitTimeout},
    {ENOSYS, kErrorNotSupported},
    {EOPNOTSUPP, kErrorNotSupported},
    {ENOTSUP, kErrorNotSupported},
    {EXDEV, kErrorNotSameDevice},
    {EPIPE, kErrorBrokenPipe},
    {EIO, kErrorIoDevice},
    {EINTR, kErrorOperationAborted},
    {ECANCELED, kErrorCancelled},
    {ELOOP, kErrorCantResolveFilename},
    {ENOEXEC, kErrorBadExeFormat},
};

}  // namespace

DWORD from_errno(int err) {
    for (const auto& [e, w] : kErrnoToWin32) {
        if (e == err) return w;
    }
    return kErrorInvalidFunction;
}

}  // namespace rk::win
