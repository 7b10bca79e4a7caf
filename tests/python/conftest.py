"""Points the module under test at its private tables before any test
loads the library; see module_support."""

import module_support  # noqa: F401
