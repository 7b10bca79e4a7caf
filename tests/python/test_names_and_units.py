"""The readable functions as the library describes them: their names,
parameter names and type hints, the units their docstrings give, units(),
and the package's version."""

import inspect
import pickle
import typing

import numpy
import pytest

import rudid32
from module_support import make_data_directory
from test_python_module import run_python

# The public names the module has always had, by the library's names.
PUBLIC_NAMES = {
    "AQPPT": ("saturation_temperature", "p"), "AQPTP": ("saturation_pressure", "T"),
    "AQPTQH": ("enthalpy_tx", "T x"), "AQPTQS": ("entropy_tx", "T x"), "AQPTQV": ("volume_tx", "T x"),
    "AQPPQH": ("enthalpy_px", "p x"), "AQPPQS": ("entropy_px", "p x"), "AQPPQV": ("volume_px", "p x"),
    "AQPPTH": ("enthalpy_pt", "p T"), "AQPPTS": ("entropy_pt", "p T"), "AQPPTV": ("volume_pt", "p T"),
    "AQPPHT": ("temperature_ph", "p h"), "AQPPHS": ("entropy_ph", "p h"), "AQPPHV": ("volume_ph", "p h"),
    "AQPPHQ": ("quality_ph", "p h"),
    "AQPPST": ("temperature_ps", "p s"), "AQPPSH": ("enthalpy_ps", "p s"), "AQPPSV": ("volume_ps", "p s"),
    "AQPPSQ": ("quality_ps", "p s"),
    "AQPPVT": ("temperature_pv", "p v"), "AQPPVH": ("enthalpy_pv", "p v"), "AQPPVS": ("entropy_pv", "p v"),
    "AQPPVQ": ("quality_pv", "p v"),
}


def test_every_function_keeps_its_public_name_and_gets_real_parameter_names():
    described = {function.name: function for function in rudid32.functions()}
    assert set(described) == set(PUBLIC_NAMES)
    for name, (readable, parameters) in PUBLIC_NAMES.items():
        function = getattr(rudid32, readable)
        assert getattr(rudid32, name) is function and function.__name__ == readable
        assert described[name].readable_name == readable
        assert list(inspect.signature(function).parameters) == parameters.split() + ["threads", "refined"]
        assert readable in rudid32.__all__ and name in rudid32.__all__ and readable in dir(rudid32)
        # Sent to another process (multiprocessing, dask) by name.
        assert pickle.loads(pickle.dumps(function)) is function


def test_parameters_are_taken_by_name_in_any_order():
    expected = rudid32.AQPPTH(10.0, 300.0)
    assert rudid32.enthalpy_pt(p=10, T=300) == expected
    assert rudid32.enthalpy_pt(T=300, p=10) == expected
    assert rudid32.enthalpy_pt(10, T=300) == expected
    assert rudid32.temperature_ph(p=10, h=3000) == rudid32.AQPPHT(10, 3000)
    assert rudid32.saturation_pressure(T=100) == rudid32.AQPTP(100)
    assert rudid32.enthalpy_pt(p=[10], T=300, threads=1).tolist() == [expected]
    for call in (lambda: rudid32.enthalpy_pt(10), lambda: rudid32.enthalpy_pt(10, t=300),
                 lambda: rudid32.enthalpy_pt(10, 300, 5), lambda: rudid32.saturation_pressure(p=100)):
        with pytest.raises(TypeError):
            call()


def test_type_hints_resolve_and_say_arrays_in_float_or_array_out():
    hints = typing.get_type_hints(rudid32.volume_tx)
    assert set(hints) == {"T", "x", "threads", "refined", "return"}
    assert hints["T"] == hints["x"] == numpy.typing.ArrayLike and hints["refined"] is bool
    assert hints["return"] == typing.Union[float, numpy.ndarray]
    assert typing.get_type_hints(rudid32.evaluate)["return"] == typing.Union[
        typing.Tuple[numpy.ndarray, numpy.ndarray], typing.Tuple[numpy.ndarray, numpy.ndarray, numpy.ndarray]]


def test_units_and_docstrings_give_the_configured_units(tmp_path):
    # This process runs with the internal units.
    assert {rudid32.units()[q] for q in ("pressure", "temperature", "specific enthalpy")} == {"bar", "C", "kJ/kg"}
    doc = rudid32.temperature_ph.__doc__
    assert "p: pressure in bar" in doc and "h: specific enthalpy in kJ/kg" in doc and "temperature in C" in doc
    assert "x: quality" in rudid32.enthalpy_px.__doc__
    # Another selection of units in another process: pressure word 3 and
    # temperature word 6 select their second units.
    ini = make_data_directory(tmp_path, {3: 1, 6: 1})
    script = ("import rudid32\nu = rudid32.units()\nprint(u['pressure'], u['temperature'])\n"
              "print(rudid32.saturation_temperature.__doc__)\n")
    output = run_python(script, ZAREVIRU_INI=str(ini))
    pressure, temperature = output.splitlines()[0].split()
    assert (pressure, temperature) != ("bar", "C")
    assert "p: pressure in %s\n" % pressure in output and "temperature in %s" % temperature in output


def test_the_package_version_is_the_library_version():
    assert rudid32.library_version() == rudid32.__version__
