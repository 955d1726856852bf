#pragma once
// The file-system status of a path that does not resolve, from the errno of the failed call.
#include <cstdint>

namespace macassoc {

// fnfErr (missing, or a link loop), dirNFErr (a folder in the path is none), afpAccessDenied,
// bdNamErr (name too long), ioErr for anything else.
std::int32_t resolveErrorFromErrno(int error);

}  // namespace macassoc
