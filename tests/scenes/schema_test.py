#!/usr/bin/env python3
"""The scene format's JSON Schema accepts every example scene and every
built-in scene the program writes, and refuses broken ones.
Usage: schema_test.py SOURCE_DIR [LUMEK_EXE]"""
import copy
import glob
import json
import os
import subprocess
import sys
import tempfile

import jsonschema


def main():
    source = sys.argv[1]
    with open(os.path.join(source, "docs", "lumek-scene.schema.json")) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    files = sorted(glob.glob(os.path.join(source, "examples", "*.json")))
    failed = 0
    if len(files) < 3:
        print("fewer than three example scenes in", os.path.join(source, "examples"))
        failed += 1
    saved = tempfile.TemporaryDirectory()
    if len(sys.argv) > 2:
        subprocess.run([sys.argv[2], "--save-scenes", saved.name], check=True,
                       stdout=subprocess.DEVNULL)
        built_in = sorted(glob.glob(os.path.join(saved.name, "*.json")))
        if len(built_in) != 10:
            print(f"--save-scenes wrote {len(built_in)} scenes, not 10")
            failed += 1
        files += built_in
    for path in files:
        with open(path) as f:
            scene = json.load(f)
        for error in validator.iter_errors(scene):
            print(f"{path}: {'/'.join(map(str, error.path))}: {error.message}")
            failed += 1

    # Each of these breaks a scene in one place; the schema must notice.
    with open(files[0]) as f:
        good = json.load(f)
    breaks = {
        "newer version": lambda s: s.update(version=2),
        "another format": lambda s: s.update(format="lumek-record"),
        "unknown field": lambda s: s["shapes"][0].update(radus=1),
        "colour out of range": lambda s: s["shapes"][0].update(colour=[0, 256, 0]),
        "colour text": lambda s: s["shapes"][0].update(colour="#12345g"),
        "negative falloff": lambda s: s["shapes"][0].update(falloff=-1),
        "missing view": lambda s: s.pop("view"),
        "size too large": lambda s: s.update(size=[16385, 10]),
        "coordinate too far": lambda s: s["view"].update(centre=[1e6, 0]),
        "polygon of two points": lambda s: s["shapes"].append(
            {"type": "polygon", "points": [[0, 0], [1, 1]], "colour": "#ffffff", "falloff": 1}),
        "key setting nothing": lambda s: s["shapes"][0].update(keys=[{"time": 1}]),
        "unknown easing": lambda s: s["shapes"][0].update(
            keys=[{"time": 1, "easing": "bounce", "falloff": 1}]),
    }
    for name, change in breaks.items():
        broken = copy.deepcopy(good)
        change(broken)
        if validator.is_valid(broken):
            print(f"the schema accepts a scene with: {name}")
            failed += 1

    print(f"{len(files)} scene files checked, {len(breaks)} broken ones refused" if not failed
          else f"{failed} problems")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
