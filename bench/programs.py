"""Builds the benchmark programs of bench/ where the product is built.

They are part of the main CMake tree (KESTRUNE_BUILD_BENCH), so they are
built in build/ as tools/build makes it (Release), sharing its objects; a
build/ of another type is refused, since its figures would mislead.
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")


def build(*targets):
    """Builds targets in build/ (configuring it first when needed) and
    returns the path of the first one's program."""
    cache = os.path.join(BUILD, "CMakeCache.txt")
    if not os.path.exists(cache):
        subprocess.run([os.path.join(ROOT, "tools", "build")], check=True, stdout=subprocess.DEVNULL)
    with open(cache) as f:
        text = f.read()
    kind = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", text, re.M)
    if not kind or kind.group(1) != "Release":
        sys.exit("build/ is not a Release build: run tools/build first")
    if re.search(r"^KESTRUNE_BUILD_BENCH:BOOL=OFF$", text, re.M):
        sys.exit("build/ was configured without the benchmarks: run tools/build -DKESTRUNE_BUILD_BENCH=ON")
    subprocess.run(["cmake", "--build", BUILD, "-j2", "--target", *targets], check=True,
                   stdout=subprocess.DEVNULL)
    return program(targets[0])


def program(target):
    """Where a built program lies: bench programs in build/bench/, the
    product's in build/bin/."""
    for folder in ("bench", "bin"):
        path = os.path.join(BUILD, folder, target)
        if os.path.exists(path):
            return path
    sys.exit("no program %s in %s" % (target, BUILD))
