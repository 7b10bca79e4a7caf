"""Property-based: for any function and any rows, evaluate() answers every
row with exactly the bits of the single call, or with NaN and the code the
single call raised."""

import math

import numpy
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import rudid32
from rudid32 import _evaluate

FUNCTIONS = [function.name for function in rudid32.functions()]

# Arguments from every region the library tells apart: inside the tables,
# near their edges, outside them, and what it cannot take at all.
argument = st.one_of(
    st.floats(min_value=-50.0, max_value=1100.0),
    st.floats(min_value=0.0, max_value=1.0),
    st.floats(min_value=0.005, max_value=0.02),
    st.floats(min_value=1000.0, max_value=5000.0),
    st.sampled_from([0.0, -0.0, 0.01, 1.0, 221.2, 374.15, 800.0, 1000.0, 1e39, -1e39, math.inf, math.nan]),
    st.floats(allow_nan=True, allow_infinity=True),
)


def single(function, arguments):
    try:
        return function(*arguments), 0
    except rudid32.RudidRangeError as error:
        return math.nan, error.code
    except rudid32.RudidFailure as error:
        return math.nan, error.code


@settings(max_examples=150, deadline=None, database=None, derandomize=True,
          suppress_health_check=[HealthCheck.too_slow])
@given(name=st.sampled_from(FUNCTIONS), data=st.data())
def test_evaluate_equals_the_single_calls_bit_for_bit(name, data):
    function = getattr(rudid32, name)
    arity = len(rudid32.functions()[FUNCTIONS.index(name)].parameters)
    rows = data.draw(st.integers(min_value=1, max_value=40))
    columns = [numpy.array(data.draw(st.lists(argument, min_size=rows, max_size=rows))) for _ in range(arity)]
    values, codes = rudid32.evaluate(name, *columns)
    for row in range(rows):
        value, code = single(function, [float(column[row]) for column in columns])
        assert codes[row] == code
        if code:
            assert math.isnan(values[row])
        else:
            assert numpy.float64(values[row]).view(numpy.int64) == numpy.float64(value).view(numpy.int64)


@settings(max_examples=25, deadline=None, database=None, derandomize=True)
@given(name=st.sampled_from(FUNCTIONS), seed=st.integers(0, 2**32 - 1), threads=st.integers(2, 5))
def test_any_split_over_threads_gives_the_same_bits(name, seed, threads):
    generator = numpy.random.default_rng(seed)
    arity = len(rudid32.functions()[FUNCTIONS.index(name)].parameters)
    columns = [generator.uniform(-10.0, 900.0, 3001) for _ in range(arity)]
    one = rudid32.evaluate(name, *columns, threads=1)
    saved = _evaluate.MINIMUM_ROWS_PER_THREAD
    _evaluate.MINIMUM_ROWS_PER_THREAD = 500
    try:
        many = rudid32.evaluate(name, *columns, threads=threads)
    finally:
        _evaluate.MINIMUM_ROWS_PER_THREAD = saved
    assert numpy.array_equal(one[0].view(numpy.int64), many[0].view(numpy.int64))
    assert numpy.array_equal(one[1], many[1])
