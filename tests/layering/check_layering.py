#!/usr/bin/env python3
"""Checks that every #include in src/ points the way the layers allow.

    ui -> store, components, rig, sound, engine;  rig -> sound, engine;  sound -> engine;
    store -> engine;  components -> engine;  engine -> nothing (no Qt either).

Inside ui/, each window has a folder of its own. A window's folder includes only itself and
ui/common (where the main window's seam, SendPort, lives); only ui/main, the window that opens
all the others, includes other windows' folders, and no window includes ui/main. The tools in
src/tools are programs at the top and may include anything.

Usage: check_layering.py SRC_DIR   prints every forbidden include and exits 1 if there is one.
       check_layering.py --self-test   plants a forbidden include of each kind in a copy of a
                                      small tree and fails unless each one is caught.
"""
import os
import re
import shutil
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
LAYERS = {
    "engine": set(),
    "sound": {"engine"},
    "rig": {"sound", "engine"},
    "store": {"engine"},
    "components": {"engine"},
    "ui": {"store", "components", "rig", "sound", "engine"},
}
# Headers the engine may not use even though they come from outside the project: the engine is
# plain C++ without Qt and without a sound server, a rig library or a database.
ENGINE_FOREIGN = re.compile(r"^(Q|qt|pulse/|pipewire/|spa/|hamlib/|sqlite|sndfile|fftw)")


def part_of(path):
    """('ui', 'practice') for src/ui/practice/X.h; ('engine', None) for src/engine/..."""
    parts = path.split("/")
    if parts[0] == "ui" and len(parts) > 2:
        return parts[0], parts[1]
    return parts[0], None


def violation(source, bracket, target):
    layer, window = part_of(source)
    if layer == "tools" or layer not in LAYERS:
        return None
    if bracket == "<":
        if layer == "engine" and ENGINE_FOREIGN.match(target):
            return "the engine uses no Qt and no outside service"
        return None
    target_layer, target_window = part_of(target)
    if target_layer not in LAYERS and target_layer != "tools":
        return None  # a header beside the file, not a layer
    if target_layer == layer:
        if layer != "ui" or window == target_window or target_window == "common":
            return None
        if window == "main":
            return None  # the main window opens the others
        if window is None:
            return "ui/ files belong in a window's folder or in ui/common"
        if target_window == "main":
            return "a window reaches the main window only through its seam (ui/common/SendPort.h)"
        return "a window includes another window's folder; share it through ui/common"
    if target_layer in LAYERS[layer]:
        return None
    return f"{layer} may include only {', '.join(sorted(LAYERS[layer])) or 'itself'}"


def check(src_dir):
    problems = []
    for root, _, files in os.walk(src_dir):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            source = os.path.relpath(path, src_dir)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for match in INCLUDE.finditer(text):
                reason = violation(source, match.group(1), match.group(2))
                if reason:
                    line = text.count("\n", 0, match.start()) + 1
                    problems.append(f"{source}:{line}: includes {match.group(2)}: {reason}")
    return problems


PLANTED = {
    "engine/morse/Planted.h": '#include <QString>\n',
    "engine/keyer/Planted.h": '#include "sound/ToneSynth.h"\n',
    "sound/Planted.h": '#include "ui/common/Fonts.h"\n',
    "rig/Planted.h": '#include "store/ProgressStore.h"\n',
    "sound/Planted2.h": '#include "rig/KeyLine.h"\n',
    "ui/practice/Planted.h": '#include "ui/main/SoundUnit.h"\n',
    "ui/mixer/Planted.h": '#include "ui/practice/CopyPracticeWindow.h"\n',
    "store/Planted.h": '#include "components/VelEdit.h"\n',
}
ALLOWED = {
    "engine/keying/Fine.h": '#include "engine/morse/Timing.h"\n#include <vector>\n',
    "rig/Fine.h": '#include "sound/CodePlayer.h"\n',
    "ui/practice/Fine.h": '#include "ui/common/SendPort.h"\n#include "store/ProgressStore.h"\n',
    "ui/main/Fine.h": '#include "ui/practice/CopyPracticeWindow.h"\n',
    "tools/Fine.cpp": '#include "ui/main/SoundUnit.h"\n',
}


def self_test():
    with tempfile.TemporaryDirectory() as tree:
        for rel, text in {**PLANTED, **ALLOWED}.items():
            os.makedirs(os.path.dirname(os.path.join(tree, rel)), exist_ok=True)
            with open(os.path.join(tree, rel), "w") as f:
                f.write(text)
        found = check(tree)
    caught = {p.split(":")[0] for p in found}
    missed = sorted(set(PLANTED) - caught)
    wrong = sorted(caught - set(PLANTED))
    for rel in missed:
        print(f"not caught: {rel}: {PLANTED[rel].strip()}")
    for rel in wrong:
        print(f"caught though allowed: {rel}")
    return not missed and not wrong


def main():
    if sys.argv[1:] == ["--self-test"]:
        ok = self_test()
        print("the check catches every planted include" if ok else "the check is broken")
        return 0 if ok else 1
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    print(f"{len(problems)} forbidden include(s)" if problems else "every include points down")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
