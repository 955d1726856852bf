// The error record handed to the package installer's interface through the installer
// pasteboard, and the per-user trace switch with its trace file.
#include <cctype>

#include "installer/support/InstallUtil.h"
#include "installer/support/SupportConstants.h"
#include "platform/EffectiveUserGuard.h"
#include "platform/FixedPathFile.h"
#include "platform/HomeFolder.h"
#include "platform/NamedPasteboard.h"
#include "platform/SystemLog.h"
#include "platform/UserPreferences.h"

namespace support::InstallUtil {
namespace {

// A text reads as true after optional white space, a sign and zeros, when its next character
// is "Y", "y", "T", "t" or a digit 1 to 9 (the platform's own reading of preference texts).
bool textReadsAsTrue(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && text[i] == '0') ++i;
  const char c = text[i];  // the terminating NUL past the end, which reads as false
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

bool boolMeaning(const platform::PlistValue& value) {
  if (const bool* b = value.asBoolean()) return *b;
  if (const std::int64_t* i = value.asInteger()) return *i != 0;
  if (const double* d = value.asReal()) return *d != 0;
  if (const std::string* s = value.asString()) return textReadsAsTrue(*s);
  return false;
}

}  // namespace

void initInternalPasteboard(bool reset) {
  platform::NamedPasteboard pasteboard(kInternalPasteboardName);
  pasteboard.declareTypes({kErrorMessageType});
  if (!reset) return;
  platform::PlistDictionary record;
  record[kErrorCodeKey] = platform::PlistValue(0);
  record[kErrorDetailsKey] = platform::PlistValue(platform::PlistArray{});
  pasteboard.setPropertyListForType(platform::PlistValue(std::move(record)), kErrorMessageType);
}

void sendErrorMessage(const std::optional<platform::PlistValue>& record) {
  if (!record) return;
  platform::NamedPasteboard(kInternalPasteboardName)
      .setPropertyListForType(*record, kErrorMessageType);
}

std::optional<platform::PlistValue> getErrorMessage() {
  return platform::NamedPasteboard(kInternalPasteboardName).propertyListForType(kErrorMessageType);
}

bool shouldWriteTraces() {
  // Read as the logged-in user; with no such user the current effective user reads its own.
  platform::EffectiveUserGuard asLoggedInUser;
  std::string home = asLoggedInUser.user() ? asLoggedInUser.user()->home : platform::homeFolder();
  std::optional<platform::PlistValue> value =
      platform::UserPreferences(home).valueForKey(kInstallPreferencesDomain, kTraceEnableKey);
  return value && boolMeaning(*value);
}

void setupTraceOutput() {
  if (!shouldWriteTraces()) return;
  platform::UniqueFd trace =
      platform::openFixedPathForWriting(kTraceFilePath, platform::FixedPathMode::Truncate);
  if (!trace.valid()) return;
  // The trace file stays attached until the process ends.
  platform::SystemLog::attachFile(trace.release());
}

}  // namespace support::InstallUtil
