#pragma once
// The plain functions the library exports besides its JNI natives. Text is UTF-8; an out
// argument is filled by the function and owned by the caller. A null argument gives paramErr
// (getURL: kNoUrlStatus for a null path) or false. No exception leaves them.
#include <cstdint>

#include "fileassociation/mac/FileUrl.h"
#include "platform/PlistValue.h"

#define MACASSOC_EXPORT __attribute__((visibility("default")))

extern "C" {

// The URL of "<bundle>/Contents/Info.plist" (InfoPlistFile::getURL).
MACASSOC_EXPORT std::int32_t getURL(const char* bundlePath, macassoc::FileUrl* url);

// Reads and parses the Info.plist (InfoPlistFile::readInfoFile).
MACASSOC_EXPORT std::int32_t readInfoFile(const macassoc::FileUrl* url,
                                          platform::PlistValue* plist);

// Writes the Info.plist in the XML form, atomically (InfoPlistFile::writeInfoFile).
MACASSOC_EXPORT std::int32_t writeInfoFile(const macassoc::FileUrl* url,
                                           const platform::PlistValue* plist);

// Whether a document type matches the extension (DocumentTypes::findEntryForExtension); the
// index of the first match goes to index.
MACASSOC_EXPORT bool isExist(const char* extension, const platform::PlistArray* types,
                             long* index);

// Whether the type name's handler is the extension's default handler (DefaultRoles).
MACASSOC_EXPORT bool isAssociated(const char* extension, const char* typeName);

}  // extern "C"
