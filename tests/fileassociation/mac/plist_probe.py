#!/usr/bin/env python3
"""Reads property lists with plistlib for the macassoc tests; one JSON line per entry.

  binary <xml-in> <out>       writes the list in the binary form
  types <Info.plist>          "format <xml|binary|other>", then each document type
  handlers <store>            each "LSHandlers" entry
  bundles <registry>          each "LSRegisteredBundles" entry
"""
import json
import plistlib
import sys


def load(path):
    with open(path, "rb") as f:
        return plistlib.load(f)


def print_entries(entries):
    for entry in entries:
        print(json.dumps(entry, sort_keys=True))


def main(command, path, *rest):
    if command == "binary":
        with open(rest[0], "wb") as f:
            plistlib.dump(load(path), f, fmt=plistlib.FMT_BINARY)
    elif command == "types":
        with open(path, "rb") as f:
            head = f.read(8)
        form = "xml" if head.startswith(b"<?xml") else "binary" if head == b"bplist00" else "other"
        print("format " + form)
        root = load(path)
        if "CFBundleDocumentTypes" in root:
            print_entries(root["CFBundleDocumentTypes"])
        else:
            print("no CFBundleDocumentTypes")
    elif command == "handlers":
        print_entries(load(path)["LSHandlers"])
    elif command == "bundles":
        print_entries(load(path)["LSRegisteredBundles"])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(*sys.argv[1:])
