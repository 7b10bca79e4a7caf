"""Builds the package. Built from a checkout whose library is built in
build/, the package records where that library is, so that an
installation into a virtual environment finds it from any directory."""

import os

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKOUT_LIBRARY = os.path.join(os.path.dirname(HERE), "build", "libRUDID32.so")


class BuildWithLocation(build_py):
    def run(self):
        super().run()
        if os.path.isfile(CHECKOUT_LIBRARY) and not self.dry_run:
            target = os.path.join(self.build_lib, "rudid32", "_location.py")
            with open(target, "w", encoding="utf-8") as file:
                file.write("# Where the library was when this package was built.\nLIBRARY = %r\n"
                           % CHECKOUT_LIBRARY)


setup(cmdclass={"build_py": BuildWithLocation})
