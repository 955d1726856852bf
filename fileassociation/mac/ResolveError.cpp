#include "fileassociation/mac/ResolveError.h"

#include <cerrno>

#include "fileassociation/mac/MacAssocConstants.h"

namespace macassoc {

std::int32_t resolveErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ELOOP:
      return fnfErr;
    case ENOTDIR:
      return dirNFErr;
    case EACCES:
    case EPERM:
      return afpAccessDenied;
    case ENAMETOOLONG:
      return bdNamErr;
    default:
      return ioErr;
  }
}

}  // namespace macassoc
