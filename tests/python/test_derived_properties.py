"""The derived properties in Python: State's attributes, states()' columns
and evaluate("cp_pT", ...), against python3-iapws and against each other."""

import math

import numpy
import pytest
from iapws import IAPWS97

import rudid32

# python3-iapws's names of State's derived attributes.
REFERENCE = {"rho": "rho", "u": "u", "cp": "cp", "cv": "cv", "w": "w", "mu": "mu", "k": "k", "Pr": "Prandt"}
LONG = {"rho": "density", "u": "internal_energy", "w": "speed_of_sound", "mu": "viscosity",
        "k": "thermal_conductivity", "Pr": "prandtl", "sigma": "surface_tension"}


def units_of_the_tests():
    # The module's tables select density in ton/m3 and conductivity in kW/(m C)
    # unless the shipped default.cfg is used: read the factors from the units.
    units = rudid32.units()
    return {"rho": 1e-3 if units["density"] == "ton/m3" else 1,
            "k": 1e-3 if units["thermal conductivity"].lower() == "kw/m,c" else 1}


@pytest.mark.parametrize("p, t", [(160, 540), (1, 25), (600, 100), (0.05, 700)])
def test_state_has_the_derived_properties_of_the_formulations(p, t):
    state = rudid32.State(p=p, T=t)
    reference = IAPWS97(P=p / 10, T=t + 273.15)
    factor = units_of_the_tests()
    for name, attribute in REFERENCE.items():
        want = getattr(reference, attribute) * factor.get(name, 1)
        assert getattr(state, name) == pytest.approx(want, rel=2e-4), name
    assert state.sigma is None and state.surface_tension is None
    for short, long in LONG.items():
        assert getattr(state, long) == getattr(state, short)


def test_wet_steam_has_no_heat_capacity_and_the_saturated_phases_have_them():
    wet, liquid = rudid32.State(p=10, x=0.4), rudid32.State(p=10, x=0)
    assert wet.cp is None and wet.w is None and wet.mu is None and wet.Pr is None
    assert wet.rho == pytest.approx(1 / wet.v * units_of_the_tests()["rho"], rel=1e-9)
    reference = IAPWS97(P=1, x=0)
    assert liquid.cp == pytest.approx(reference.cp, rel=1e-3)
    assert liquid.sigma == wet.sigma == pytest.approx(reference.sigma, rel=1e-4)
    assert wet.to_dict()["cp"] is None and liquid.to_dict()["sigma"] == liquid.sigma


def test_states_columns_and_evaluate_give_states_attributes_bit_for_bit():
    p = numpy.array([1.0, 10.0, 10.0, 160.0, 250.0])
    t = numpy.array([25.0, 179.0, 300.0, 540.0, 380.0])
    frame = rudid32.states(p=p, T=t)
    for i in range(len(p)):
        state = rudid32.State(p=p[i], T=t[i])
        for name in ("rho", "u", "cp", "cv", "w", "mu", "k", "Pr"):
            assert frame[name][i] == getattr(state, name), (name, i)
    for name in ("cp", "speed_of_sound", "k", "lambda", "Prandtl", "rho"):
        values, codes, flags = rudid32.evaluate(name + "_pT", p, t, flags=True)
        column = {"speed_of_sound": "w", "lambda": "k", "Prandtl": "Pr"}.get(name, name)
        assert numpy.array_equal(values, frame[column].to_numpy()) and not codes.any()
    # The critical window is flagged, 10 bar and 300 C is not.
    assert flags[4] & 0x4 and not flags[2]


def test_evaluate_codes_what_a_state_has_not_and_refuses_wrong_names():
    values, codes = rudid32.evaluate("sigma_px", 10, [0.0, 0.5, 1.0])
    assert not codes.any() and values[0] == values[1] == values[2]
    values, codes = rudid32.evaluate("sigma_pT", 10, 300)
    assert codes == -1023 and math.isnan(values)
    values, codes = rudid32.evaluate("cv_Tx", 100, 0.5)
    assert codes == -1022
    with pytest.raises(ValueError):
        rudid32.evaluate("enthalpy_pq", 1, 2)
    with pytest.raises(TypeError):
        rudid32.evaluate("cp_pT", 1)
