#include "platform/errors/errno_map.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace rk::win {
namespace {

struct ErrnoCase {
    int err;
    DWORD expected;
};

TEST(ErrnoMapTest, MapsEachErrnoToTheErrorWindowsReportsForTheSameFailure) {
    const ErrnoCase cases[] = {
        {0, kErrorSuccess},
        {ENOENT, kErrorFileNotFound},
        {ENOTDIR, kErrorPathNotFound},
        {EACCES, kErrorAccessDenied},
        {EPERM, kErrorAccessDenied},
        {EROFS, kErrorAccessDenied},
        {EISDIR, kErrorAccessDenied},
        {EEXIST, kErrorAlreadyExists},
        {ENOMEM, kErrorNotEnoughMemory},
        {EINVAL, kErrorInvalidParameter},
        {ESRCH, kErrorInvalidParameter},
        {ENOSPC, kErrorDiskFull},
        {EDQUOT, kErrorDiskFull},
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
        // No counterpart.
        {EDOM, kErrorInvalidFunction},
        {-1, kErrorInvalidFunction},
        {100000, kErrorInvalidFunction},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(from_errno(c.err), c.expected) << "errno " << c.err;
    }
}

}  // namespace
}  // namespace rk::win
