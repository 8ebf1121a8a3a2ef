"""Builds the Python module with the project's own CMake build (python/)."""
import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(HERE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DLUMEK_TESTS=OFF", "-DLUMEK_PERF=OFF", "-DLUMEK_DISPLAY=OFF",
                     "-DLUMEK_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}"]
        try:  # pybind11 from pip when it is there, else the system's
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "lumek_python",
                        "-j", str(os.cpu_count() or 1)], check=True)
        built = next((build / "python" / "module").glob("lumek*"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[CMakeExtension("lumek")], cmdclass={"build_ext": CMakeBuild},
      # Beside, not inside, the CMake build folder the README uses.
      options={"build": {"build_base": "build-python"}})
