"""Builds the package. Built from a checkout whose library is built in
build/, the package carries its own copy of the library and of the tables
(rudid32/libRUDID32.so, rudid32/data/), so that a wheel made here installs
and works after the checkout is gone:

    /usr/bin/python3 -m pip wheel --no-deps --no-build-isolation -w /tmp/rudid32-wheel ./python
    /usr/bin/python3 -m pip install /tmp/rudid32-wheel/rudid32-*.whl

Without build/libRUDID32.so the build stops and says so.

The build's own files (build/, rudid32.egg-info) go to a directory under
the system's temporary directory, never into the source tree."""

import getpass
import os
import shutil
import tempfile
import zlib

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT = os.path.dirname(HERE)
CHECKOUT_LIBRARY = os.path.join(CHECKOUT, "build", "libRUDID32.so")
CHECKOUT_DATA = os.path.join(CHECKOUT, "data")
DATA_FILES = ("zarude.dat", "vevuzu.dat", "didizar.dat", "default.cfg")

# One scratch directory per user and checkout, outside the tree.
SCRATCH = os.path.join(tempfile.gettempdir(), "rudid32-python-build-%s-%08x" % (getpass.getuser(), zlib.crc32(HERE.encode())))
os.makedirs(SCRATCH, exist_ok=True)


class BuildWithLibrary(build_py):
    def run(self):
        # A package without its library installs, then fails at its first
        # call: refuse to build one.
        if not os.path.isfile(CHECKOUT_LIBRARY):
            raise SystemExit("rudid32: %s is missing: build the library first (cmake -S . -B build && "
                             "cmake --build build), then build the package" % CHECKOUT_LIBRARY)
        super().run()
        if self.dry_run:
            return
        package = os.path.join(self.build_lib, "rudid32")
        shutil.copyfile(os.path.realpath(CHECKOUT_LIBRARY), os.path.join(package, "libRUDID32.so"))
        data = os.path.join(package, "data")
        os.makedirs(data, exist_ok=True)
        for name in DATA_FILES:
            source = os.path.join(CHECKOUT_DATA, name)
            if os.path.isfile(source):
                shutil.copyfile(source, os.path.join(data, name))


class NativeDistribution(Distribution):
    """The package holds a native library: the wheel is for this platform."""

    def has_ext_modules(self):
        return True


setup(cmdclass={"build_py": BuildWithLibrary},
      distclass=NativeDistribution,
      options={"build": {"build_base": os.path.join(SCRATCH, "build")},
               "egg_info": {"egg_base": SCRATCH},
               "bdist_wheel": {"bdist_dir": os.path.join(SCRATCH, "wheel")}})
