"""Refined answers through the Python module: evaluate(..., refined=True),
the readable functions' refined keyword and dask give the library's refined
answer (RudidEvaluateRefined), not the table's."""

import numpy
import pytest

import rudid32


def test_evaluate_gives_the_refined_answer_where_the_table_answer_is_poor():
    # IAPWS-IF97: steam at 1 atm and 100 C, 2675.6 kJ/kg; the table answer
    # interpolates across the saturation line.
    value = rudid32.evaluate("AQPPTH", 1.01325, 100, refined=True)[0]
    table = rudid32.evaluate("AQPPTH", 1.01325, 100, refined=False)[0]
    assert abs(value - 2675.6) < 0.005 * 2675.6
    assert abs(table - 2675.6) > 200


def test_readable_functions_take_refined_for_numbers_and_arrays():
    assert rudid32.enthalpy_pt(1.01325, 100, refined=True) == \
        float(rudid32.evaluate("AQPPTH", 1.01325, 100, refined=True)[0])
    assert rudid32.enthalpy_pt(1.01325, 100) == float(rudid32.evaluate("AQPPTH", 1.01325, 100)[0])
    pressures = numpy.array([1.01325, 10.0, 0.05])
    temperatures = numpy.array([100.0, 500.0, 300.0])
    values = rudid32.enthalpy_pt(pressures, temperatures, refined=True)
    expected, codes = rudid32.evaluate("AQPPTH", pressures, temperatures, refined=True)
    assert numpy.array_equal(values, expected) and not codes.any()
    # The inverse gives the temperature back.
    assert rudid32.temperature_ph(10.0, values[1], refined=True) == pytest.approx(500.0, abs=0.01)


def test_refined_states_outside_the_tables_keep_their_codes():
    values, codes = rudid32.evaluate("AQPPTH", [0.001, 1.0], [100.0, -5.0], refined=True)
    assert list(codes) == [-1001, -1002] and numpy.isnan(values).all()
    with pytest.raises(rudid32.RudidRangeError):
        rudid32.enthalpy_pt(0.001, 100, refined=True)


def test_refined_flags_are_the_refined_ones_row_by_row():
    # Steam at 1 atm and 100 C is flagged by the tables (a mixed cell) but not
    # in the refined answer; 250 bar, 390 C lies on the ridge above the
    # critical point; a state outside the tables has no value and no flags.
    p, t = [1.01325, 250.0, 0.001], [100.0, 390.0, 100.0]
    values, codes, flags = rudid32.evaluate("AQPPTV", p, t, refined=True, flags=True)
    library = rudid32._library.library()
    expected = [library.RudidRefinedFlags(b"AQPPTV", a, b) for a, b in zip(p, t)]
    assert list(flags[:2]) == expected[:2] == [0, 0x4]  # critical region
    assert flags[2] == 0 and codes[2] != 0
    assert numpy.array_equal(values, rudid32.evaluate("AQPPTV", p, t, refined=True)[0], equal_nan=True)
    table_flags = rudid32.evaluate("AQPPTV", p, t, flags=True, refined=False)[2]
    assert table_flags[0] != 0


def test_refined_flags_of_a_batch_equal_the_single_calls_over_many_states(monkeypatch):
    from rudid32 import _evaluate, _library
    monkeypatch.setattr(_evaluate, "MINIMUM_ROWS_PER_THREAD", 500)  # three parts at three threads
    generator = numpy.random.default_rng(5)
    p = 10.0 ** generator.uniform(-1.9, 2.9, 3000)
    h = generator.uniform(50.0, 4000.0, 3000)
    library = _library.library()
    for threads in (1, 3):
        values, codes, flags = rudid32.evaluate("AQPPHT", p, h, refined=True, flags=True, threads=threads)
        expected = [library.RudidRefinedFlags(b"AQPPHT", a, b) if code == 0 else 0
                    for a, b, code in zip(p, h, codes)]
        assert flags.tolist() == expected
        assert numpy.array_equal(values, rudid32.evaluate("AQPPHT", p, h, refined=True, threads=threads)[0],
                                 equal_nan=True)
    assert any(expected) and codes.any()


def test_the_right_answer_is_the_default_and_a_poor_one_warns_what_to_do():
    import warnings

    from iapws import IAPWS97
    deaerator = IAPWS97(P=0.63, T=161 + 273.15)
    with warnings.catch_warnings():
        warnings.simplefilter("error", rudid32.RudidCaution)  # a clean answer warns of nothing
        assert rudid32.enthalpy_pt(6.3, 161) == pytest.approx(deaerator.h, rel=1e-3)
        state = rudid32.State(p=6.3, T=161)
        assert state.phase == "superheated vapour" and state.h == pytest.approx(deaerator.h, rel=1e-3)
        assert rudid32.evaluate("AQPPTH", [6.3], [161])[0][0] == pytest.approx(deaerator.h, rel=1e-3)
    # The table answer, one switch away, is 41 % low here; it says so.
    with pytest.warns(rudid32.RudidCaution, match="mixes liquid and vapour.*use the refined answer") as caught:
        table = rudid32.enthalpy_pt(6.3, 161, refined=False)
    assert abs(table - deaerator.h) > 0.4 * deaerator.h and caught[0].message.flags & 0x1
