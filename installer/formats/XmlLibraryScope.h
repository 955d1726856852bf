#pragma once
// While an XmlLibraryScope lives, libxml2 reports its errors nowhere (these programs run as root
// and speak only through the system log) and loads no external entity or DTD from a file or the
// network. The library is initialised once, on first use. Single-threaded use only: the error
// handlers and the entity loader are process state, put back as they were on destruction.
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace support {

class XmlLibraryScope {
 public:
  XmlLibraryScope();
  ~XmlLibraryScope();
  XmlLibraryScope(const XmlLibraryScope&) = delete;
  XmlLibraryScope& operator=(const XmlLibraryScope&) = delete;

 private:
  xmlGenericErrorFunc _genericError;
  void* _genericErrorContext;
  xmlStructuredErrorFunc _structuredError;
  void* _structuredErrorContext;
  xmlExternalEntityLoader _entityLoader;
};

}  // namespace support
