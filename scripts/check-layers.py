#!/usr/bin/env python3
"""Fails when the library's folders include each other in a cycle.

The library is layered one way: registry at the bottom, then launch and the device side's notification,
media check and tracker plumbing (deviceconnect/), the trackers and the plug-in tracking above them, and the
service's start-up (deviceconnect/startup/) on top. Hosts, tests and the C interface sit outside and may use
any folder; platform/ and include/ are below everything."""
import pathlib
import re
import sys

LIBRARY = ["registry", "launch", "deviceconnect", "deviceconnect/mox", "deviceconnect/startup", "trackers"]
root = pathlib.Path(__file__).resolve().parent.parent
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

edges = {folder: set() for folder in LIBRARY}
for folder in LIBRARY:
    for source in sorted((root / folder).glob("*.[ch]*")):
        for target in include.findall(source.read_text(encoding="utf-8")):
            target_folder = str(pathlib.PurePosixPath(target).parent)
            if target_folder in edges and target_folder != folder:
                edges[folder].add((target_folder, f"{folder}/{source.name} -> {target}"))


def cycle_from(start):
    stack = [(start, [])]
    seen = set()
    while stack:
        folder, path = stack.pop()
        for target, why in sorted(edges[folder]):
            if target == start:
                return path + [why]
            if target not in seen:
                seen.add(target)
                stack.append((target, path + [why]))
    return None


for folder in LIBRARY:
    cycle = cycle_from(folder)
    if cycle:
        print("include cycle between folders:\n  " + "\n  ".join(cycle))
        sys.exit(1)
print("folders are layered one way: " + ", ".join(
    f"{folder} -> {{{', '.join(sorted({t for t, _ in edges[folder]}))}}}" for folder in LIBRARY))
