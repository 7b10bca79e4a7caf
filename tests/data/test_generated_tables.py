"""The shipped property tables and unit configuration: reproducible from the
generator, and holding the water properties they claim to hold."""

import struct
import subprocess
import sys
from pathlib import Path

import pytest
from iapws import IAPWS97

REPO = Path(__file__).resolve().parents[2]
DATA = REPO / "data"
GENERATOR = REPO / "tools" / "generate_tables.py"
SHIPPED = ["zarude.dat", "vevuzu.dat", "didizar.dat", "default.cfg"]

sys.path.insert(0, str(GENERATOR.parent))
import generate_tables  # noqa: E402


def single(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def saturation_record(name, index):
    return struct.unpack_from("<7f", (DATA / name).read_bytes(), 28 * index)


def single_phase_entry(pressure_index, column):
    """(v, h, s) at pressure point pressure_index (from 1) and t = 10 x column degC."""
    offset = ((pressure_index - 1) * 81 + column) * 12
    return struct.unpack_from("<3f", (DATA / "didizar.dat").read_bytes(), offset)


@pytest.fixture(scope="module")
def regenerated(tmp_path_factory):
    out = tmp_path_factory.mktemp("tables")
    run = subprocess.run([sys.executable, str(GENERATOR), str(out)],
                         capture_output=True, text=True, timeout=600)
    assert run.returncode == 0, run.stderr
    return out


@pytest.mark.parametrize("name", SHIPPED)
def test_shipped_file_is_byte_identical_to_a_fresh_generation(regenerated, name):
    assert (DATA / name).read_bytes() == (regenerated / name).read_bytes()


def test_default_cfg_selects_first_units_but_m3_per_kg_kg_per_m3_and_w_per_m_c():
    words = struct.unpack("<31h", (DATA / "default.cfg").read_bytes())
    assert words[12] == 1 and words[2] == 1 and words[23] == 1
    assert all(w == 0 for k, w in enumerate(words) if k not in (2, 12, 23))


def test_saturation_by_pressure_holds_known_states():
    ts, vf, vg, hf, hg, sf, sg = saturation_record("zarude.dat", 55)  # 1 bar
    assert ts == pytest.approx(99.606, abs=1e-3)
    assert vg == pytest.approx(1.6940, abs=1e-4)
    assert (hf, hg) == (pytest.approx(417.44, abs=0.01), pytest.approx(2674.95, abs=0.01))
    ts, _, _, hf, hg, _, _ = saturation_record("zarude.dat", 230)  # 100 bar
    assert ts == pytest.approx(310.999, abs=1e-3)
    assert (hf, hg) == (pytest.approx(1407.87, abs=0.01), pytest.approx(2725.47, abs=0.01))
    ts = saturation_record("zarude.dat", 0)[0]  # 0.01 bar
    assert ts == pytest.approx(6.970, abs=1e-3)


def test_saturation_by_temperature_holds_known_states():
    psat, vf, vg, hf, hg, sf, sg = saturation_record("vevuzu.dat", 101)  # 100 degC
    assert psat == pytest.approx(1.01418, abs=1e-5)
    assert (hf, hg) == (pytest.approx(419.10, abs=0.01), pytest.approx(2675.57, abs=0.01))
    assert (sf, sg) == (pytest.approx(1.3070, abs=1e-4), pytest.approx(7.3541, abs=1e-4))
    # 0 degC lies a hundredth of a kelvin below the triple point: IF97's
    # metastable liquid there has a slightly negative enthalpy and entropy.
    psat, _, vg, hf, _, sf, _ = saturation_record("vevuzu.dat", 1)
    assert psat == pytest.approx(0.0061121, abs=1e-7)
    assert vg == pytest.approx(206.14, abs=0.01)
    assert hf == pytest.approx(-0.0416, abs=1e-4) and -0.001 < sf < 0


def test_saturation_by_temperature_records_are_one_state_each():
    # The stored pressure and phase values must describe the saturation state
    # of the record's temperature; near the critical point a density taken
    # from IF97's backward equation alone would not. (0 degC is left out: its
    # pressure, rounded to a single, lies just below IF97's lowest pressure.)
    for record in range(2, 375):
        t = record - 1
        psat, vf, vg, hf, hg, sf, sg = saturation_record("vevuzu.dat", record)
        liquid = IAPWS97(P=psat / 10, x=0)
        vapour = IAPWS97(P=psat / 10, x=1)
        assert liquid.T - 273.15 == pytest.approx(t, abs=2e-4), record
        assert hf == pytest.approx(liquid.h, abs=5e-3), record
        assert hg == pytest.approx(vapour.h, abs=5e-3), record
        assert vf == pytest.approx(liquid.v, rel=1e-5), record
        assert vg == pytest.approx(vapour.v, rel=1e-5), record


def test_records_beyond_the_critical_point_hold_the_critical_state():
    ts, *zarude = saturation_record("zarude.dat", 291)  # 221.2 bar
    assert ts == single(373.946)
    assert zarude[0::2] == zarude[1::2]  # liquid equals vapour
    assert zarude[0] == single(1 / 322)
    assert zarude[2] == pytest.approx(2087.55, abs=0.01)
    for record in (375, 376):  # 374 and 374.15 degC
        psat, *vevuzu = saturation_record("vevuzu.dat", record)
        assert psat == single(220.64)
        assert vevuzu == zarude


@pytest.mark.parametrize("pressure_index, column, p_mpa, t_kelvin, region", [
    (1, 0, 0.001, 273.15, 1),      # 0.01 bar, 0 degC: first entry
    (40, 2, 0.1, 293.15, 1),       # 1 bar, 20 degC: compressed liquid
    (40, 10, 0.1, 373.15, 2),      # 1 bar, 100 degC: just above saturation
    (175, 36, 20.0, 633.15, 3),    # 200 bar, 360 degC: liquid of region 3
    (180, 38, 25.0, 653.15, 3),    # 250 bar, 380 degC: supercritical
    (205, 60, 50.0, 873.15, 2),    # 500 bar, 600 degC
    (224, 80, 100.0, 1073.15, 2),  # 1000 bar, 800 degC: last entry
])
def test_single_phase_entry_matches_if97(pressure_index, column, p_mpa, t_kelvin, region):
    state = IAPWS97(P=p_mpa, T=t_kelvin)
    assert state.region == region
    expected = tuple(single(x) for x in (state.v, state.h, state.s))
    assert single_phase_entry(pressure_index, column) == expected


def test_single_phase_isobar_changes_phase_at_saturation():
    # At 1 bar (saturation 99.6 degC) the 90 degC entry is liquid and the
    # 100 degC entry is vapour.
    v90, h90, _ = single_phase_entry(40, 9)
    v100, h100, _ = single_phase_entry(40, 10)
    assert v90 == pytest.approx(0.001036, abs=1e-6)
    assert v100 == pytest.approx(1.6959, abs=1e-3)
    assert h90 < 417.44 < 2674.95 < h100


def corrupt_entry(data, index, field, value):
    data = bytearray(data)
    struct.pack_into("<f", data, index * 12 + field * 4, value)
    return bytes(data)


def test_checks_reject_faulty_tables():
    tables = {name: (DATA / name).read_bytes() for name in SHIPPED}
    generate_tables.check_tables(tables)

    faults = {
        "enthalpy falling along an isobar": ("didizar.dat", corrupt_entry(tables["didizar.dat"], 81 + 5, 1, 0.0)),
        "non-finite entropy": ("didizar.dat", corrupt_entry(tables["didizar.dat"], 3, 2, float("nan"))),
        "vapour node on the liquid side": ("didizar.dat", corrupt_entry(tables["didizar.dat"], 39 * 81 + 10, 1, 2600.0)),
        "saturated liquid above vapour": ("zarude.dat", tables["zarude.dat"][:28 * 10] + struct.pack(
            "<7f", 46.0, 0.00101, 0.0009, 100.0, 2600.0, 0.5, 8.0) + tables["zarude.dat"][28 * 11:]),
        "critical record with liquid != vapour": ("vevuzu.dat", tables["vevuzu.dat"][:-28] + struct.pack(
            "<7f", 220.64, 0.0031, 0.0032, 2087.5, 2087.5, 4.41, 4.41)),
        "short file": ("didizar.dat", tables["didizar.dat"][:-12]),
    }
    for fault, (name, data) in faults.items():
        with pytest.raises(generate_tables.TableError):
            generate_tables.check_tables({**tables, name: data})
            pytest.fail(fault)


def test_generator_writes_nothing_when_a_check_fails(tmp_path, monkeypatch, capsys):
    tables = {name: (DATA / name).read_bytes() for name in SHIPPED}
    tables["zarude.dat"] = tables["zarude.dat"][:-28]
    monkeypatch.setattr(generate_tables, "build_tables", lambda: tables)
    assert generate_tables.main([str(tmp_path / "out")]) == 1
    assert not (tmp_path / "out").exists()
    assert "zarude.dat" in capsys.readouterr().err
