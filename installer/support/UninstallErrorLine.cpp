#include "installer/support/UninstallErrorLine.h"

namespace support {

void printSharedUninstallErrorLine(std::FILE* out, int status) {
  switch (status) {
    case 155:
      std::fprintf(out, "Error:%d: The specified location contains unsupported characters. \n", status);
      break;
    case 150:
      std::fprintf(out, "Error:%d: Fail to locate target platform. \n", status);
      break;
    case 170:
      std::fprintf(out, "Error:%d: Platform is running. \n", status);
      break;
    default:
      break;
  }
}

}  // namespace support
