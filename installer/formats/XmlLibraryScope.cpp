#include "installer/formats/XmlLibraryScope.h"

#include <libxml/globals.h>

namespace support {
namespace {

void ignoreGenericError(void*, const char*, ...) {}
void ignoreStructuredError(void*, xmlErrorPtr) {}

xmlParserInputPtr refuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  return nullptr;
}

}  // namespace

XmlLibraryScope::XmlLibraryScope()
    : _genericError(xmlGenericError),
      _genericErrorContext(xmlGenericErrorContext),
      _structuredError(xmlStructuredError),
      _structuredErrorContext(xmlStructuredErrorContext),
      _entityLoader(xmlGetExternalEntityLoader()) {
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, ignoreGenericError);
  xmlSetStructuredErrorFunc(nullptr, ignoreStructuredError);
  xmlSetExternalEntityLoader(refuseExternalEntity);
}

XmlLibraryScope::~XmlLibraryScope() {
  xmlSetExternalEntityLoader(_entityLoader);
  xmlSetStructuredErrorFunc(_structuredErrorContext, _structuredError);
  xmlSetGenericErrorFunc(_genericErrorContext, _genericError);
}

}  // namespace support
