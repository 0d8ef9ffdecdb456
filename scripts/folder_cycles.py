#!/usr/bin/env python3
"""Fails when the code of one folder includes, directly or through other folders, a header of
a folder that includes it back: the folders form a stack, each including only those below it.

Folders are the ones the build lists (KORVALIS_FOLDERS, passed as arguments). Only the code the
libraries are built from counts: tests, test support (testing/, *_test_util.h), test data,
fuzz targets and benchmarks may use any folder.

Usage: folder_cycles.py <source dir> <folder>...
"""
import collections
import os
import re
import sys

# Known cycles, to be removed: archive/ and emrdoc/ share lookups that still live in each of
# them. A cycle of exactly these folders passes; one that takes in any other folder fails.
KNOWN_CYCLES = [{"archive", "emrdoc"}]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path, folders):
    matches = [f for f in folders if path == f or path.startswith(f + "/")]
    return max(matches, key=len) if matches else None


def is_library_code(path):
    name = os.path.basename(path)
    parts = path.split("/")
    return (name.endswith((".h", ".cpp")) and not name.endswith(("_test.cpp", "_fuzz.cpp"))
            and not name.endswith("_test_util.h") and "testing" not in parts
            and "testdata" not in parts and parts[0] != "bench")


def include_graph(root, folders):
    """folder -> included folder -> the files that include it."""
    graph = collections.defaultdict(lambda: collections.defaultdict(list))
    for folder in folders:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                path = os.path.relpath(os.path.join(directory, name), root)
                if folder_of(path, folders) != folder or not is_library_code(path):
                    continue
                with open(os.path.join(root, path), errors="replace") as source:
                    for line in source:
                        match = INCLUDE.match(line)
                        target = match and folder_of(match.group(1), folders)
                        if target and target != folder:
                            graph[folder][target].append(path)
    return graph


def strongly_connected(graph, nodes):
    """The groups of folders that reach each other (Tarjan's algorithm)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in graph.get(node, {}):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = set()
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.add(member)
                if member == node:
                    break
            groups.append(group)

    for node in nodes:
        if node not in index:
            visit(node)
    return groups


def main():
    root, folders = sys.argv[1], sys.argv[2:]
    graph = include_graph(root, folders)
    failed = False
    for group in strongly_connected(graph, folders):
        if len(group) < 2 or group in KNOWN_CYCLES:
            continue
        failed = True
        print("folders that include each other: " + ", ".join(sorted(group)))
        for folder in sorted(group):
            for target, files in sorted(graph[folder].items()):
                if target in group:
                    print(f"  {folder} -> {target}: {', '.join(sorted(set(files))[:3])}")
    if failed:
        return 1
    print("no include cycle between folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
