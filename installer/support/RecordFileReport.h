#pragma once
// Log lines for a record file (property list, properties file, store) that the run could not
// read or write. Each names the file, so the administrator knows what to look at; the caller
// turns the failure into its own status.
#include <string>
#include <system_error>

namespace support::RecordFileReport {

// "Fail to read %s. It is left unchanged." at the given level: the file exists but holds nothing
// this program can read, so it is not rewritten.
void unreadable(int level, const std::string& path);

// "Fail to write %s." at level 3, with the reason in brackets when one is known.
void writeFailed(const std::string& path, std::error_code reason = {});

// Removes a file of the instance the run has done with (InstanceFiles::removeItemNoFollow: in a
// folder reached without links, as its owner); when it stays, "Fail to remove %s (%s)." at
// level 4, as the run goes on. False when it stays.
bool removeOrWarn(const std::string& path);

}  // namespace support::RecordFileReport
