#include "platform/errors/errno_map.h"

#include <cerrno>

namespace rk::win {

DWORD from_errno(int err) {
    switch (err) {
        case 0: return kErrorSuccess;
        case ENOENT: return kErrorFileNotFound;
        case ENOTDIR: return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return kErrorAccessDenied;
        case EEXIST: return kErrorAlreadyExists;
        case ENOMEM: return kErrorNotEnoughMemory;
        case EINVAL: return kErrorInvalidParameter;
        case ENOSPC: return kErrorDiskFull;
        case ENAMETOOLONG: return kErrorFilenameExcedRange;
        case ENOTEMPTY: return kErrorDirNotEmpty;
        case EBUSY: return kErrorSharingViolation;
        case EMFILE:
        case ENFILE: return kErrorTooManyOpenFiles;
        case EBADF: return kErrorInvalidHandle;
        case ETIMEDOUT: return kWaitTimeout;
        case ENOSYS:
        case EOPNOTSUPP: return kErrorNotSupported;
        default: return kErrorInvalidFunction;
    }
}

}  // namespace rk::win
