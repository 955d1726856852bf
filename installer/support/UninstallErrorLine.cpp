#include "installer/support/UninstallErrorLine.h"

namespace support {

bool printSharedUninstallErrorLine(std::FILE* out, int status) {
  switch (status) {
    case 155:
      std::fprintf(out, "Error:%d: The specified location contains unsupported characters. \n", status);
      return true;
    case 150:
      std::fprintf(out, "Error:%d: Fail to locate target platform. \n", status);
      return true;
    case 170:
      std::fprintf(out, "Error:%d: Platform is running. \n", status);
      return true;
    default:
      return false;
  }
}

}  // namespace support
