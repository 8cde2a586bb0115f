// DOS error numbers: the task's IoErr, and how Linux errno values map onto
// the AmigaDOS numbers.
//
//   ENOENT                        205 object not found
//   ENOTDIR, EISDIR, ELOOP        212 object wrong type
//   EACCES, EPERM                 224 read protected
//   EROFS                         214 disk write protected
//   ENOMEM, EMFILE, ENFILE        103 no free store (out of a resource)
//   ENAMETOOLONG                  210 invalid component name
//   EEXIST                        203 object exists
//   EBUSY, ETXTBSY                202 object in use
//   ENOTEMPTY                     216 directory not empty
//   ENOSPC, EDQUOT                221 disk full
//   EFBIG, EOVERFLOW              207 object too large
//   ESPIPE                        219 seek error
//   EBADF                         211 invalid lock
//   EINVAL                        209 action not known
//   EIO, ENXIO, ENODEV, others    218 device not mounted (the I/O error)
#include <cerrno>

#include "platform/dos/dos.h"
#include "platform/dos/dos_internal.h"
#include "platform/exec/exec_internal.h"

namespace os {
namespace {
constexpr int32_t kDirectoryNotEmpty = 216;
}  // namespace

int32_t IoErr() { return internal::CurrentTask()->priv->ioErr; }

int32_t SetIoErr(int32_t code) {
    TaskPrivate* self = internal::CurrentTask()->priv;
    const int32_t previous = self->ioErr;
    self->ioErr = code;
    return previous;
}

int32_t ErrnoToDos(int error) {
    switch (error) {
        case 0: return 0;
        case ENOENT: return ERROR_OBJECT_NOT_FOUND;
        case ENOTDIR:
        case EISDIR:
        case ELOOP: return ERROR_OBJECT_WRONG_TYPE;
        case EACCES:
        case EPERM: return ERROR_READ_PROTECTED;
        case EROFS: return ERROR_DISK_WRITE_PROTECTED;
        case ENOMEM:
        case EMFILE:
        case ENFILE: return ERROR_NO_FREE_STORE;
        case ENAMETOOLONG: return ERROR_INVALID_COMPONENT_NAME;
        case EEXIST: return ERROR_OBJECT_EXISTS;
        case EBUSY:
        case ETXTBSY: return ERROR_OBJECT_IN_USE;
        case ENOTEMPTY: return kDirectoryNotEmpty;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EFBIG:
        case EOVERFLOW: return ERROR_OBJECT_TOO_LARGE;
        case ESPIPE: return ERROR_SEEK_ERROR;
        case EBADF: return ERROR_INVALID_LOCK;
        case EINVAL: return ERROR_ACTION_NOT_KNOWN;
        default: return ERROR_DEVICE_NOT_MOUNTED;
    }
}

namespace internal {

int32_t SetIoErrFromErrno() {
    const int32_t code = ErrnoToDos(errno);
    SetIoErr(code);
    return code;
}

}  // namespace internal

// No one can be asked on Linux whether to retry: always give up.
int32_t ErrorReport(int32_t /*code*/, int32_t /*type*/, FileHandle* /*file*/, MsgPort* /*port*/) {
    return 1;
}

}  // namespace os
