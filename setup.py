"""The native half of the korvix wheel, built by CMake.

The module _korvix and libkorvix go into the package directory side by side
(the module finds the library through its RUNPATH $ORIGIN), so that the
installed wheel imports without LD_LIBRARY_PATH. KORVIX_BUILD_DIR names a
configured build tree to take them from (`make packages` passes its own);
otherwise CMake makes a build of its own in build/wheel/cmake, without
tests, benchmarks or Qt.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
TREE = os.environ.get("KORVIX_BUILD_DIR")
# setuptools' own files go beside the CMake build, so that wheels built from
# different trees at once do not share them.
WORK = (Path(TREE).resolve() if TREE else ROOT / "build") / "wheel"


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(Korvix VERSION ([0-9.]+)", text).group(1)


def cmake(*args) -> None:
    subprocess.run(["cmake", *map(str, args)], check=True)


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        build = Path(TREE).resolve() if TREE else WORK / "cmake"
        if not TREE and not (build / "CMakeCache.txt").exists():
            cmake("-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                  "-DKORVIX_BUILD_TESTS=OFF", "-DKORVIX_BUILD_BENCH=OFF", "-DKORVIX_WITH_QT=OFF",
                  f"-DPython3_EXECUTABLE={sys.executable}")
        cmake("--build", build, "--target", "korvix_python")
        staging = Path(self.build_temp) / "native"
        shutil.rmtree(staging, ignore_errors=True)
        cmake("--install", build, "--component", "wheel", "--prefix", staging, "--strip")

        module = Path(self.get_ext_fullpath(ext.name))
        built = sorted(p.name for p in (staging / "korvix").glob("_korvix*"))
        # A tree built for another interpreter has a module this one cannot import.
        if built != [module.name]:
            raise RuntimeError(f"{build} has {built}, this Python needs {module.name}")
        module.parent.mkdir(parents=True, exist_ok=True)
        for file in (staging / "korvix").iterdir():
            shutil.copy2(file, module.parent / file.name)


WORK.mkdir(parents=True, exist_ok=True)
# setuptools packs whatever its build directory holds: start it empty, so that
# a file dropped from the package does not linger in the next wheel.
for stale in WORK.glob("lib.*"):
    shutil.rmtree(stale)
setup(
    version=project_version(),
    ext_modules=[Extension("korvix._korvix", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(WORK)}, "egg_info": {"egg_base": str(WORK)}},
)
