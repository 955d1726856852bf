#pragma once
// The command line of purgeAddonRecord: "-rcphome <install location>" and "-addonID <id>" in
// any order. Removes the add-on's registry record and prints the reason of a refusal; the exit
// status is always 0.
#include <cstdio>

namespace addonuninstall {

int runPurgeAddonRecord(int argc, const char* const* argv, std::FILE* out);

}  // namespace addonuninstall
