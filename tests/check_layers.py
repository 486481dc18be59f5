#!/usr/bin/env python3
"""Fails when a source file includes from a layer above its own, or when
files include each other in a circle (a header and its .cpp count as one).

Layers, lowest first: platform, media, ui, transport, app."""
import os
import re
import sys

LAYERS = ["platform", "media", "ui", "transport", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/([^"]+)"', re.M)


def main(root):
    units = {}  # "app/app_controller" -> set of units it includes
    faults = []
    for layer in LAYERS:
        folder = os.path.join(root, layer)
        for name in sorted(os.listdir(folder)):
            if not name.endswith((".cpp", ".h")):
                continue
            path = f"{layer}/{name}"
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
                text = f.read()
            unit = os.path.splitext(path)[0]
            edges = units.setdefault(unit, set())
            for top, rest in INCLUDE.findall(text):
                if top not in LAYERS:
                    continue
                if LAYERS.index(top) > LAYERS.index(layer):
                    faults.append(f"{path} includes {top}/{rest}, a layer above {layer}/")
                target = os.path.splitext(f"{top}/{rest}")[0]
                if target != unit:
                    edges.add(target)

    # Circles, by depth-first search over the units.
    state, stack = {}, []

    def visit(unit):
        state[unit] = "open"
        stack.append(unit)
        for nxt in sorted(units.get(unit, ())):
            if state.get(nxt) == "open":
                faults.append("include circle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[unit] = "done"

    for unit in sorted(units):
        if unit not in state:
            visit(unit)

    for fault in faults:
        print(fault)
    print(f"{len(units)} files checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
