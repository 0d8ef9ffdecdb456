#!/usr/bin/env python3
"""Fails when the code of one folder includes, directly or through other folders, a header of
a folder that includes it back, or when a folder's library links, directly or through other
folders' libraries, a library of a folder that links it back: the folders form a stack, each
including and linking only those below it.

Folders are the ones the build lists (KORVALIS_FOLDERS, passed as arguments). Only the code the
libraries are built from counts: tests, test support (testing/, *_test_util.h), test data,
fuzz targets and benchmarks may use any folder. The links are the ones the build wrote into
<links file>, a line a link: "<folder of a library> <folder of a library it links>", each
folder as its path below the source dir.

Usage: folder_cycles.py <source dir> <links file> <folder>...
"""
import collections
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path, folders):
    matches = [f for f in folders if path == f or path.startswith(f + "/")]
    return max(matches, key=len) if matches else None


def is_test_support(path):
    parts = path.split("/")
    return "testing" in parts or "testdata" in parts or parts[0] == "bench"


def is_library_code(path):
    name = os.path.basename(path)
    return (name.endswith((".h", ".cpp")) and not name.endswith(("_test.cpp", "_fuzz.cpp"))
            and not name.endswith("_test_util.h") and not is_test_support(path))


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


def link_graph(links_file, folders):
    """folder -> linked folder -> the library folders that link it."""
    graph = collections.defaultdict(lambda: collections.defaultdict(list))
    with open(links_file) as links:
        for line in links:
            if not line.strip():
                continue
            library, linked = line.split()
            if is_test_support(library) or is_test_support(linked):
                continue
            source, target = folder_of(library, folders), folder_of(linked, folders)
            if source and target and source != target:
                graph[source][target].append(library)
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


def report_cycles(graph, folders, what):
    """Prints each group of folders that reach each other in `graph`; True when there is one."""
    found = False
    for group in strongly_connected(graph, folders):
        if len(group) < 2:
            continue
        found = True
        print(f"folders that {what} each other: " + ", ".join(sorted(group)))
        for folder in sorted(group):
            for target, files in sorted(graph[folder].items()):
                if target in group:
                    print(f"  {folder} -> {target}: {', '.join(sorted(set(files))[:3])}")
    return found


def main():
    root, links_file, folders = sys.argv[1], sys.argv[2], sys.argv[3:]
    failed = report_cycles(include_graph(root, folders), folders, "include")
    failed |= report_cycles(link_graph(links_file, folders), folders, "link")
    if failed:
        return 1
    print("no include or link cycle between folders")
    return 0


if __name__ == "__main__":
    sys.exit(main())
