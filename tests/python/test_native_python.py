"""What a Python user expects of the module: readable names in evaluate,
pandas indexes kept, and a NaN or infinite argument named in a ValueError."""

import math

import numpy
import pandas
import pytest

import rudid32


def test_evaluate_takes_readable_names_as_well_as_the_library_s():
    readable = rudid32.evaluate("enthalpy_pt", 10.0, [100.0, 300.0])
    library = rudid32.evaluate("AQPPTH", 10.0, [100.0, 300.0])
    assert numpy.array_equal(readable[0], library[0]) and numpy.array_equal(readable[1], library[1])
    assert rudid32.evaluate("Temperature_PH", 10.0, 3000.0)[0] == rudid32.temperature_ph(10, 3000)
    with pytest.raises(ValueError, match="enthalpy_pt"):
        rudid32.evaluate("enthalpy_tp", 10.0, 300.0)


def test_pandas_series_and_columns_keep_their_index():
    frame = pandas.DataFrame({"p": [10.0, 1.0, 50.0], "T": [300.0, 150.0, 900.0]}, index=["a", "b", "c"])
    h = rudid32.enthalpy_pt(frame["p"], frame["T"])
    assert isinstance(h, pandas.Series) and list(h.index) == ["a", "b", "c"]
    assert h["a"] == rudid32.enthalpy_pt(10, 300) and math.isnan(h["c"])  # 900 C is outside the tables
    frame["h"] = h  # aligns by index: the values land on their own rows
    assert frame.loc["b", "h"] == rudid32.enthalpy_pt(1, 150)
    values, codes = rudid32.evaluate("AQPPTH", frame.p, 300.0)
    assert list(values.index) == list(codes.index) == ["a", "b", "c"] and codes["c"] == 0
    shuffled = frame.sort_values("p")
    assert list(rudid32.saturation_temperature(shuffled.p).index) == ["b", "a", "c"]
    wide = pandas.DataFrame({"x": [1.0, 10.0], "y": [100.0, 200.0]}, index=[7, 8])
    table = rudid32.saturation_temperature(wide)
    assert isinstance(table, pandas.DataFrame) and list(table.index) == [7, 8] and list(table.columns) == ["x", "y"]
    # Plain arrays stay arrays.
    assert isinstance(rudid32.enthalpy_pt(numpy.array([10.0]), 300.0), numpy.ndarray)


@pytest.mark.parametrize("value", [math.nan, math.inf, -math.inf])
def test_a_non_finite_argument_is_a_value_error_naming_it(value):
    with pytest.raises(ValueError) as raised:
        rudid32.enthalpy_pt(10.0, value)
    assert "enthalpy_pt: T is %r, not a finite number" % value in str(raised.value)
    assert raised.value.argument == "T"
    with pytest.raises(ValueError, match="p is"):
        rudid32.temperature_ph(p=value, h=3000.0)


def test_pandas_arguments_are_matched_by_label_as_pandas_matches_them():
    p = pandas.Series([10.0, 1.0], index=["a", "b"])
    T = pandas.Series([150.0, 300.0], index=["b", "a"])  # the same states, in the other order
    h = rudid32.enthalpy_pt(p, T)
    assert h["a"] == rudid32.enthalpy_pt(10, 300) and h["b"] == rudid32.enthalpy_pt(1, 150)
    values, codes = rudid32.evaluate("AQPPTH", p, T)
    assert values["a"] == h["a"] and values["b"] == h["b"] and codes["a"] == 0
    # Labels only one side has are rows without an answer, as in p * T.
    partial = rudid32.enthalpy_pt(p, pandas.Series([300.0, 200.0], index=["a", "c"]))
    assert list(partial.index) == list((p * T.reindex(["a", "c"])).index) == ["a", "b", "c"]
    assert partial["a"] == h["a"] and math.isnan(partial["b"]) and math.isnan(partial["c"])
    # Arrays and numbers beside a Series pair by position, as in pandas.
    mixed = rudid32.enthalpy_pt(p, numpy.array([300.0, 150.0]))
    assert list(mixed.index) == ["a", "b"] and mixed["a"] == h["a"] and mixed["b"] == h["b"]
    assert rudid32.enthalpy_pt(10.0, T)["a"] == h["a"]
    frames = rudid32.enthalpy_pt(pandas.DataFrame({"x": [10.0, 1.0]}, index=["a", "b"]),
                                 pandas.DataFrame({"x": [150.0, 300.0]}, index=["b", "a"]))
    assert frames.loc["a", "x"] == h["a"] and frames.loc["b", "x"] == h["b"]
    with pytest.raises(ValueError, match="Series and a DataFrame"):
        rudid32.enthalpy_pt(p, pandas.DataFrame({"x": [300.0, 150.0]}, index=["a", "b"]))
