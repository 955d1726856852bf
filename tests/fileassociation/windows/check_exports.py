#!/usr/bin/env python3
"""Checks the i686 vondraReg.dll as a 32-bit JVM will meet it.

The export table must hold exactly the thirteen natives under their decorated standard-call
names, "_Java_<class>_<method>@<argument bytes>", and the library must need no MinGW runtime
DLL next to it.

usage: check_exports.py <i686-w64-mingw32-objdump> <vondraReg.dll>
"""
import subprocess
import sys

PREFIX = "_Java_com_norq_pelora_fileassociation_w32_WindowsRegisterHelper_"
ARGUMENT_BYTES = {
    "queryRegKey": 16,
    "getRegValue": 20,
    "setRegValue": 36,
    "createRegKey": 16,
    "deleteRegKey": 16,
    "deleteRegValue": 20,
    "getRegEnumValueDataPairs": 16,
    "getRegEnumSubKeys": 16,
    "setDebugFlag": 12,
    "isVistaOrLaterVer": 8,
    "isCurUserInAdminsGrp": 8,
    "deleteDeskTopByTarget": 12,
    "refreshRegistry": 8,
}
EXPECTED = {f"{PREFIX}{method}@{size}" for method, size in ARGUMENT_BYTES.items()}
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll", "ole32.dll", "msvcrt.dll"}


def exported_names(dump):
    names = []
    in_table = False
    for line in dump.splitlines():
        if "[Ordinal/Name Pointer] Table" in line:
            in_table = True
        elif in_table and line.strip().startswith("["):
            names.append(line.split("]", 1)[1].strip())
        elif in_table:
            break
    return names


def imported_dlls(dump):
    return [line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line]


def main():
    objdump, dll = sys.argv[1], sys.argv[2]
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    problems = []
    if "file format pei-i386" not in dump:
        problems.append("not a 32-bit x86 PE image")
    names = exported_names(dump)
    if len(names) != len(set(names)):
        problems.append("names exported twice: %s" % sorted({n for n in names if names.count(n) > 1}))
    for name in sorted(EXPECTED - set(names)):
        problems.append("missing export: " + name)
    for name in sorted(set(names) - EXPECTED):
        problems.append("unexpected export: " + name)
    for library in imported_dlls(dump):
        if library.lower() not in SYSTEM_DLLS:
            problems.append("needs a DLL that Windows does not ship: " + library)
    for problem in problems:
        print(problem)
    if not problems:
        print("%d exports, all decorated as expected" % len(names))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
