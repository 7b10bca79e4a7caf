"""What the library says about itself: its property functions, the
quantities they take and give, and the units configured for them. Nothing
here is a copy; everything is asked from the loaded library, once."""

import functools
import typing

from . import _library

# The usual symbol of a quantity in thermodynamics, which names the
# parameters of the readable functions (enthalpy_pt(p, T)).
_SYMBOLS = {
    "pressure": "p",
    "temperature": "T",
    "specific enthalpy": "h",
    "specific entropy": "s",
    "specific volume": "v",
    "quality": "x",
}


class Function(typing.NamedTuple):
    """One property function of the library."""
    index: int
    name: str            # the library's name, "AQPPHT"
    arity: int
    arguments: tuple     # quantity codes of the arguments
    result: int          # quantity code of the result
    description: str     # "temperature from pressure and specific enthalpy"

    @property
    def parameters(self):
        """The symbols that name the arguments: ("p", "h")."""
        return tuple(symbol(quantity) for quantity in self.arguments)

    @property
    def readable_name(self):
        """The name by quantities: the result, then the arguments' symbols
        (temperature_ph); a function of one argument runs along the
        saturation line (saturation_temperature)."""
        result = quantity_name(self.result).split()[-1]
        if self.arity == 1:
            return "saturation_" + result
        return result + "_" + "".join(self.parameters).lower()


@functools.lru_cache(maxsize=None)
def quantity_name(quantity):
    """The library's name of a quantity code ("specific enthalpy")."""
    return _library.text(_library.library().RudidQuantityName(quantity))


def symbol(quantity):
    name = quantity_name(quantity)
    return _SYMBOLS.get(name, name.split()[-1])


@functools.lru_cache(maxsize=None)
def configured_unit(quantity):
    """The unit this process uses for a quantity, its context's; "" for none."""
    return _library.text(_library.load()[0].RudidContextUnit(_library.context(), quantity))


@functools.lru_cache(maxsize=None)
def functions():
    """Every property function, in the library's order."""
    library = _library.library()
    return tuple(Function(index=index,
                          name=_library.text(library.RudidFunctionName(index)),
                          arity=library.RudidFunctionArity(index),
                          arguments=tuple(library.RudidFunctionArgument(index, position)
                                          for position in range(1, library.RudidFunctionArity(index) + 1)),
                          result=library.RudidFunctionResult(index),
                          description=_library.text(library.RudidFunctionDescription(index)))
                 for index in range(library.RudidFunctionCount()))


def function(name):
    """The property function of that name, the library's in any case
    ("aqpphT") or the readable one ("temperature_ph"); ValueError for an
    unknown one."""
    index = _library.function_index(name)
    if index >= 0:
        return functions()[index]
    if isinstance(name, str):
        for candidate in functions():
            if candidate.readable_name.lower() == name.lower():
                return candidate
    raise ValueError("no property function %r: give the library's name (\"AQPPTH\") or the readable one "
                     "(\"enthalpy_pt\"); rudid32.functions() lists them" % (name,))


def quantities():
    """Code and name of every quantity the library names, in its order."""
    library = _library.library()
    found = []
    code = 0
    while True:
        name = _library.text(library.RudidQuantityName(code))
        if name is None:  # past the last quantity
            return found
        if name:
            found.append((code, name))
        code += 1
