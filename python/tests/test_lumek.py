"""The Python module against the command line's pictures."""
import os
import pathlib
import subprocess
import sys
import threading
import time
import zlib

import numpy
import pytest

import lumek

SCENE = os.environ["LUMEK_TEST_SCENE"]
LUMEK_EXE = os.environ["LUMEK_EXE"]


def command_line_picture(tmp_path, width, height, seconds):
    """The raw RGB bytes `lumek --scene FILE -shot` writes for that moment."""
    out = tmp_path / f"cli-{width}x{height}-{seconds}"
    subprocess.run([LUMEK_EXE, "--scene", SCENE, "-shot", "--size", f"{width}x{height}",
                    "--time", str(seconds), "--output", str(out)],
                   check=True, capture_output=True)
    return pathlib.Path(str(out) + ".raw").read_bytes()


def test_pictures_are_the_command_lines(tmp_path):
    scene = lumek.Scene.from_file(SCENE)
    assert (scene.width, scene.height, scene.fps, scene.frame_count) == (96, 64, 8, 8)
    assert scene.shape_count == 3
    # Frame 3 at 8 a second is the moment 0.375; 100 x 57 is no multiple of
    # the tile edge.
    for frame, seconds, (w, h) in [(3, 0.375, (100, 57)), (0, 0, (96, 64))]:
        picture = scene.render(w, h, frame=frame, threads=2)
        assert picture.shape == (h, w, 3)
        assert picture.dtype == numpy.uint8
        assert picture.flags.c_contiguous
        assert picture.tobytes() == command_line_picture(tmp_path, w, h, seconds)

    text = pathlib.Path(SCENE).read_text()
    again = lumek.Scene.from_json(text).render(100, 57, frame=3, threads=1)
    assert numpy.array_equal(again, scene.render(100, 57, frame=3))


def test_refused_scenes_and_arguments_raise_value_error(tmp_path):
    text = pathlib.Path(SCENE).read_text().replace('"radius": 0.15', '"radius": "big"')
    with pytest.raises(ValueError, match=r"^mine\.json:\d+:\d+: shapes\[0\]\.radius"):
        lumek.Scene.from_json(text, "mine.json")
    with pytest.raises(ValueError, match="none.json"):
        lumek.Scene.from_file(str(tmp_path / "none.json"))
    scene = lumek.Scene.from_file(SCENE)
    for args in [(0, 10), (10, 0), (16385, 10), (-1, 10)]:
        with pytest.raises(ValueError, match="1 .. 16384"):
            scene.render(*args)
    with pytest.raises(ValueError, match="frame 8"):
        scene.render(10, 10, frame=8)
    with pytest.raises(ValueError, match="threads"):
        scene.render(10, 10, threads=-1)


def test_two_threads_render_two_scenes_at_once():
    first = lumek.Scene.from_file(SCENE)
    second = lumek.Scene.from_json(
        pathlib.Path(SCENE).read_text().replace('"seed": 77', '"seed": 78'))
    want = [first.render(128, 96, frame=5, threads=1), second.render(128, 96, frame=5, threads=1)]
    assert not numpy.array_equal(want[0], want[1])
    got = [None, None]

    def render(i, scene):
        for _ in range(3):
            got[i] = scene.render(128, 96, frame=5, threads=2)

    threads = [threading.Thread(target=render, args=(i, s)) for i, s in enumerate([first, second])]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert numpy.array_equal(got[0], want[0])
    assert numpy.array_equal(got[1], want[1])


def test_other_python_threads_run_while_a_picture_renders():
    scene = lumek.Scene.from_file(SCENE)
    started, done = threading.Event(), threading.Event()
    span = {}

    def render():
        span["start"] = time.perf_counter()
        started.set()
        scene.render(1536, 1024, frame=2, threads=1)
        span["end"] = time.perf_counter()
        done.set()

    # Without a forced switch the renderer's thread holds the lock from its
    # first time stamp into the render: ticks of this thread between the two
    # stamps can only happen while the render has let the lock go.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(0.05)
    try:
        worker = threading.Thread(target=render)
        worker.start()
        started.wait()
        ticks = []
        while not done.is_set():
            ticks.append(time.perf_counter())
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    during = [t for t in ticks if span["start"] < t < span["end"]]
    assert len(during) > 100


def test_the_example_writes_the_picture_as_a_png(tmp_path):
    example = pathlib.Path(__file__).resolve().parents[2] / "examples" / "render_scene.py"
    out = tmp_path / "picture.png"
    subprocess.run([sys.executable, str(example), SCENE, str(out), "100", "57", "3"], check=True)
    data = out.read_bytes()
    assert data.startswith(b"\x89PNG\r\n\x1a\n")
    idat, at = b"", 8
    while at < len(data):
        size = int.from_bytes(data[at:at + 4], "big")
        if data[at + 4:at + 8] == b"IDAT":
            idat += data[at + 8:at + 8 + size]
        at += 12 + size
    rows = zlib.decompress(idat)
    assert rows[::301] == b"\0" * 57  # every row unfiltered
    pixels = b"".join(rows[y * 301 + 1:(y + 1) * 301] for y in range(57))
    assert pixels == command_line_picture(tmp_path, 100, 57, 0.375)
