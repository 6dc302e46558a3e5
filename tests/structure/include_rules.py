#!/usr/bin/env python3
"""The house rules that the program's includes must keep.

A routine of the program is called through its header, so the includes
among the program's files draw its calls:

* no two of the program's files reach each other (a file and its header
  count as one);
* the program includes only the engine's face, the headers in rte/ itself;
* nothing of the product includes the engine's testing seams;
* an alarm file includes neither publishing nor the run, publishing
  neither the alarms nor the run, and a record file (the run file and its
  seal) neither publishing nor the run: the run hands readings, events and
  the seal's entries on.

Usage: include_rules.py SOURCE_DIR.  Prints each broken rule and exits 1;
prints nothing and exits 0 when all hold.
"""
import os
import re
import sys

PROGRAM = ("app", "link", "run", "files", "record", "alarm", "publish", "summary")
FORBIDDEN = {
    "alarm": ("publish", "run"),
    "publish": ("alarm", "run"),
    "record": ("publish", "run"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root, top):
    for folder, _, names in os.walk(os.path.join(root, top)):
        for name in names:
            if name.endswith((".h", ".cpp")):
                yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")


def unit(path):
    return os.path.splitext(path)[0]


def cycles(graph):
    """The strongly connected parts of more than one unit (Tarjan)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                found.append(sorted(part))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main(root):
    faults = []
    graph = {}
    product = [p for top in PROGRAM + ("rte",) for p in sources(root, top)
               if not p.startswith("rte/testing/")]
    for path in product:
        with open(os.path.join(root, path), encoding="utf-8") as f:
            included = INCLUDE.findall(f.read())
        folder = path.split("/")[0]
        for inc in included:
            if inc.startswith("rte/testing/"):
                faults.append(f"{path} includes the testing seam {inc}")
            if folder == "rte":
                continue
            if inc.startswith("rte/") and inc.count("/") > 1:
                faults.append(f"{path} includes {inc}, behind the engine's face")
            target = inc.split("/")[0]
            if target in FORBIDDEN.get(folder, ()):
                faults.append(f"{path} includes {inc}: {folder}/ must not call {target}/")
            if target in PROGRAM and not inc.startswith("app/panel_ids"):
                graph.setdefault(unit(path), set()).add(unit(inc))
    for part in cycles(graph):
        faults.append("these files reach each other: " + ", ".join(part))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
