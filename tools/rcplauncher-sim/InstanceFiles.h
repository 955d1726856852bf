#pragma once
// The files the simulated launcher keeps in the parent folder of the rcp home: the result file
// the installer programs read, the outcome of the last update run for the cleanup run to
// report, and the journal of invocations (format in Journal.h).
#include <optional>
#include <string>
#include <vector>

namespace rcpsim {

inline constexpr const char* kResultFileName = ".provisioning_rc";
inline constexpr const char* kLastUpdateFileName = ".rcplauncher_last_update";

// Replaces the file atomically with the Java properties text "rc=<code>". False on failure.
bool writeResultCode(const std::string& path, int code);

// The "rc" value of a file written by writeResultCode; none when missing or unreadable.
std::optional<int> readResultCode(const std::string& path);

// Appends one journal line with a single write. False on failure.
bool appendJournalLine(const std::string& path, const std::vector<std::string>& arguments);
// Appends "1" or "0" and a line feed (see kResultSightingsName in Journal.h).
bool appendResultSighting(const std::string& path, bool resultFileWasThere);

}  // namespace rcpsim
