"""evaluate() and the readable functions over numpy arrays: shapes and
broadcasting, NaN and codes where a row has no property, refusal of
non-numeric input, and the thread pool's split."""

import ctypes
import math

import numpy
import pytest

import rudid32
from module_support import single_call
from rudid32 import _evaluate

P = 10.0  # bar


def bits(array):
    return numpy.ascontiguousarray(array, numpy.float64).view(numpy.int64)


def test_rows_without_a_property_are_nan_with_their_code():
    pressures = [0.005, 1.0, 10.0, 10.0, 10.0, 500.0, 1e39, 1200.0, math.nan]
    enthalpies = [3000.0, 2000.0, 3000.0, 9000.0, 100.0, 1500.0, 3000.0, 3000.0, 3000.0]
    values, codes = rudid32.evaluate("AQPPHT", pressures, enthalpies)
    assert values.dtype == numpy.float64 and codes.dtype == numpy.int32
    for p, h, value, code in zip(pressures, enthalpies, values, codes):
        expected_value, expected_code = single_call(rudid32.AQPPHT, p, h)
        assert code == expected_code
        assert bits(value) == bits(expected_value) if code == 0 else math.isnan(value)
    # Out of range, refused and failed rows are all present; the mean of the
    # answered rows is not disturbed by codes mixed among the values.
    assert {-1001, -1014}.issubset(set(codes.tolist())) and (codes > 0).sum() == 2
    assert numpy.nanmean(values) == pytest.approx(numpy.mean(values[codes == 0]))
    assert rudid32.is_error_code(-1014.0) and not rudid32.is_error_code(-1014.5)


@pytest.mark.parametrize("a, b, shape", [
    (P, 300.0, ()),                                           # two numbers
    (numpy.float64(P), numpy.array(300.0), ()),               # 0-d arrays
    ([1.0, 10.0, 100.0], 300.0, (3,)),                        # a number for every row
    (numpy.full((2, 3), P), numpy.linspace(100, 600, 6).reshape(2, 3), (2, 3)),
    (numpy.array([[1.0], [10.0], [100.0]]), [100.0, 300.0, 500.0, 700.0], (3, 4)),  # an outer product
    (numpy.full((2, 1, 2), P), numpy.full((3, 1), 250.0), (2, 3, 2)),
    (numpy.empty((0, 4)), 300.0, (0, 4)),
])
def test_arguments_broadcast_to_the_shape_of_the_result(a, b, shape):
    values, codes = rudid32.evaluate("AQPPTH", a, b)
    assert values.shape == codes.shape == shape
    for index in numpy.ndindex(shape):
        expected = rudid32.enthalpy_pt(numpy.broadcast_to(a, shape)[index], numpy.broadcast_to(b, shape)[index])
        assert bits(values[index]) == bits(expected) and codes[index] == 0


def test_strided_integer_and_fortran_ordered_arrays_are_read_as_given():
    grid = numpy.arange(24, dtype=numpy.int16).reshape(4, 6) * 30 + 10   # temperatures 10 .. 700 C
    fortran = numpy.asfortranarray(grid.astype(numpy.float32))
    for temperatures in (grid, fortran, grid[::2, ::3], fortran.T):
        values, codes = rudid32.evaluate("AQPPTH", P, temperatures)
        expected = [rudid32.enthalpy_pt(P, float(t)) for t in numpy.asarray(temperatures).flat]
        assert values.shape == numpy.shape(temperatures)
        assert bits(values).ravel().tolist() == bits(expected).tolist() and not codes.any()


def test_one_argument_functions_take_no_second_array():
    values, codes = rudid32.evaluate("aqppt", [[1.0, 10.0]])
    assert values.shape == (1, 2) and bits(values[0]).tolist() == bits(
        [rudid32.saturation_temperature(1.0), rudid32.saturation_temperature(10.0)]).tolist()


@pytest.mark.parametrize("a, b", [
    ("10", 300.0), (P, "300"), (["1", "2"], 300.0), (b"10", 300.0), (P, [100.0, "x"]),
    (P, 300 + 1j), (P, [object()]), (True, 300.0), (P, numpy.array(["2020-01-01"], "datetime64[D]")),
    (P, [[1.0, 2.0], [3.0]]),
])
def test_text_and_other_non_numbers_raise_type_error(a, b):
    with pytest.raises(TypeError):
        rudid32.evaluate("AQPPTH", a, b)
    with pytest.raises(TypeError):
        rudid32.enthalpy_pt(a, b)


@pytest.mark.parametrize("call, error", [
    (lambda: rudid32.evaluate("AQPPXX", [1.0]), ValueError),
    (lambda: rudid32.evaluate("AQPPTH\x00junk", [1.0], [2.0]), ValueError),  # not AQPPTH to the library
    (lambda: rudid32.evaluate("AQPPT\x00", [1.0]), ValueError),
    (lambda: rudid32.evaluate("AQPPHT", [1.0]), TypeError),
    (lambda: rudid32.evaluate("AQPPT", [1.0], [2.0]), TypeError),
    (lambda: rudid32.evaluate("AQPPHT", [1.0, 2.0], [3.0, 4.0, 5.0]), ValueError),
    (lambda: rudid32.evaluate("AQPPT", [1.0], threads=0), ValueError),
])
def test_a_wrong_call_is_refused(call, error):
    with pytest.raises(error):
        call()


def test_readable_functions_answer_arrays_with_nan_where_nothing_answers():
    temperatures = numpy.array([[100.0, 900.0], [300.0, -5.0]])
    values = rudid32.enthalpy_pt(P, temperatures)
    assert isinstance(values, numpy.ndarray) and values.shape == (2, 2)
    assert values[0, 0] == rudid32.enthalpy_pt(P, 100.0) and values[1, 0] == rudid32.enthalpy_pt(P, 300.0)
    assert numpy.isnan(values[0, 1]) and numpy.isnan(values[1, 1])
    # A NaN argument is a missing value: NaN again, not an error.
    assert numpy.isnan(rudid32.enthalpy_pt([P, math.nan], 300.0)[1])
    # Numbers give a float, and errors are raised as for any single call.
    assert type(rudid32.enthalpy_pt(numpy.float32(P), numpy.array(300))) is float


def test_an_argument_too_large_for_the_library_raises_for_arrays_too():
    with pytest.raises(rudid32.RudidFailure) as raised:
        rudid32.enthalpy_pt([P, 1e39], 300.0)
    assert raised.value.code > 0 and raised.value.message == rudid32.failure_message(raised.value.code)


@pytest.mark.parametrize("threads", [2, 3, 8])
def test_the_thread_pool_splits_rows_without_changing_a_bit(threads, monkeypatch):
    monkeypatch.setattr(_evaluate, "MINIMUM_ROWS_PER_THREAD", 1000)
    generator = numpy.random.default_rng(threads)
    p = 10.0 ** generator.uniform(-2.5, 3.2, 20011)
    h = generator.uniform(-100, 4500, 20011)
    p[::97] = numpy.nan
    one = rudid32.evaluate("AQPPHT", p, h, threads=1)
    many = rudid32.evaluate("AQPPHT", p, h, threads=threads)
    assert bits(one[0]).tolist() == bits(many[0]).tolist()
    assert one[1].tolist() == many[1].tolist()
    assert len(_evaluate._split(p.size, threads)) == threads


def test_small_arrays_stay_on_the_calling_thread():
    assert _evaluate._split(100, 8) == [(0, 100)]
    assert _evaluate._split(0, 8) == [(0, 0)]
    assert len(_evaluate._split(4 * _evaluate.MINIMUM_ROWS_PER_THREAD, 2)) == 2


def test_flags_are_those_of_the_single_state_flags_call_whatever_the_split():
    # States across the table, near the saturation line and the critical
    # point among them, where the flags are set.
    pressures = numpy.geomspace(0.05, 900.0, 97)
    temperatures = numpy.linspace(5.0, 795.0, 97)
    p, t = numpy.meshgrid(pressures, temperatures)
    values, codes = rudid32.evaluate("AQPPTH", p, t, refined=False)
    library = rudid32._library.library()
    library.RudidStateFlags.restype = ctypes.c_int
    library.RudidStateFlags.argtypes = [ctypes.c_char_p, ctypes.c_double, ctypes.c_double]
    expected = numpy.array([library.RudidStateFlags(b"AQPPTH", a, b) for a, b in zip(p.ravel(), t.ravel())])
    assert (expected != 0).any()
    for threads in (1, 3):
        flagged = rudid32.evaluate("AQPPTH", p, t, threads=threads, flags=True, refined=False)
        assert len(flagged) == 3 and flagged[2].shape == p.shape and flagged[2].dtype == numpy.int32
        assert (bits(flagged[0]) == bits(values)).all() and (flagged[1] == codes).all()
        assert (flagged[2].ravel() == expected).all()
