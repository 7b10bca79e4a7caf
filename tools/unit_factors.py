#!/usr/bin/python3
"""Generates src/units/unit_factor_tables.cpp, the recognition tables of the
unit names with their conversion factors as six-byte reals.

Each factor is derived from the base values below as an exact rational and
rounded once to the nearest six-byte real (40 significant bits, half-way
cases away from zero). Computing them in floating point would round twice.

    /usr/bin/python3 tools/unit_factors.py            print the file
    /usr/bin/python3 tools/unit_factors.py --write    rewrite the file
    /usr/bin/python3 tools/unit_factors.py --check    exit 1 if it is stale
"""

import re
import sys
from fractions import Fraction
from pathlib import Path

OUTPUT = Path(__file__).resolve().parent.parent / "src" / "units" / "unit_factor_tables.cpp"

# Base values, used as they stand:
#   1 ft = 0.3048 m, 1 in = 0.0254 m, 1 yd = 0.9144 m, 1 mile = 1609.344 m,
#   1 acre = 4046.86 m2, 1 lb = 0.453592 kg, 1 oz = 0.0283495 kg,
#   1 lbf = 4.4482 N, 1 kp = 9.80665 N, 1 Btu = 1055.06 J, 1 hp = 0.7457 kW,
#   1 HK = 0.7355 kW, 1 kcal/h = 0.001163 kW, 1 atm = 1.01325 bar,
#   1 at = 0.980665 bar, 1 mmHg = 1 torr = 0.00133332 bar,
#   1 degree Fahrenheit interval = 1/1.8 K.
#
# Each table: (code, enumerator, title, rows); each row: (names, derivation,
# rounded decimal value as a cross-check or None[, note]). A derivation is an
# arithmetic expression over decimal literals ("^" for a power), evaluated
# exactly.
TABLES = [
    (0, "Length", "length, in metres", [
        (["M"], "1", None),
        (["YD", "YARD", "YARDS"], "0.9144", None),
        (["MILE", "MILES"], "1609.344", None),
        (["FT", "FEET", "FOOT"], "0.3048", None),
        (["IN", "INCH"], "0.0254", None),
        (["MM"], "0.001", None),
        (["CM"], "0.01", None),
        (["DM"], "0.1", None),
        (["KM"], "1000", None),
    ]),
    (1, "Area", "area, in square metres", [
        (["M2"], "1", None),
        (["ACRE"], "4046.86", None),
        (["YD2", "YARD2", "YARDS2"], "0.9144^2", "0.83612736"),
        (["MILE2", "MILES2"], "1609.344^2", "2589988.11034"),
        (["FT2", "FEET2", "FOOT2"], "0.3048^2", "0.09290304"),
        (["IN2", "INCH2"], "0.0254^2", "0.00064516"),
        (["MM2"], "0.000001", None),
        (["CM2"], "0.0001", None),
        (["DM2"], "0.01", None),
        (["KM2"], "1000000", None),
    ]),
    (2, "Density", "density, in kg per cubic metre", [
        (["LB/FT3", "LBM/FT3"], "0.453592 / 0.3048^3", "16.0184503075"),
        (["LB/IN3", "LB/INCH3", "LBM/IN3", "LBM/INCH3"], "0.453592 / 0.0254^3", "27679.8821314"),
        (["G/CM3", "GR/CM3"], "1000", None),
        (["KG/DM3"], "1000", None),
        (["KG/LIT"], "1000", None),
        (["KG/M3"], "1", None),
        (["TON/M3", "T/M3"], "1000", None),
    ]),
    (3, "Pressure", "pressure, in bar", [
        (["PSI"], "4.4482 / 0.00064516 * 0.00001", "0.0689472378945"),
        (["KSI"], "4.4482 / 0.00064516 * 0.01", "68.9472378945"),
        (["DYN/CM2"], "0.000001", None),
        (["BAR"], "1", None),
        (["N/M2"], "0.00001", None),
        (["PA"], "0.00001", None),
        (["ATM"], "1.01325", None),
        (["MPA"], "10", None),
        (["KP/CM2"], "0.980665", None),
        (["KP/M2"], "0.0000980665", None),
        (["MMHG"], "0.00133332", None),
        (["AT"], "0.980665", None),
        (["TORR"], "0.00133332", None),
        (["KPA"], "0.01", None),
    ]),
    (4, "Force", "force, in newtons", [
        (["LBF"], "4.4482", None),
        (["DYN"], "0.00001", None),
        (["N"], "1", None),
        (["KP"], "9.80665", None),
        (["KN"], "1000", None),
    ]),
    (5, "SpecificEnthalpy", "specific enthalpy, in kJ per kg", [
        (["KJ/KG"], "1", None),
        (["ERG/G"], "0.0000001", None),
        (["BTU/LB", "BTU/LBM"], "1055.06 / 453.592", "2.32601104076"),
        (["J/KG"], "0.001", None),
    ]),
    (6, "Temperature", "temperature: the scale selector, not a factor", [
        (["F"], "1", None, "Fahrenheit"),
        (["C"], "0", None, "Celsius, the internal scale"),
        (["K"], "-1", None, "Kelvin"),
    ]),
    (7, "Velocity", "velocity, in metres per second", [
        (["MPH"], "0.44704", None),
        (["FT/S"], "0.3048", None),
        (["IN/S", "INCH/S"], "0.0254", None),
        (["CM/S"], "0.01", None),
        (["MM/S"], "0.001", None),
        (["M/S"], "1", None),
        (["KM/H"], "1 / 3.6", "0.277777777778"),
    ]),
    (8, "Torque", "torque, in newton metres", [
        (["LBF.FT", "LB.FT"], "4.4482 * 0.3048", "1.35581136"),
        (["DYN.CM"], "0.0000001", None),
        (["NM"], "1", None),
        (["KPM"], "9.80665", None),
        (["KNM"], "1000", None),
    ]),
    (9, "Power", "power, in kilowatts", [
        (["BTU/H"], "1055.06 / 3600 / 1000", "0.000293072222222"),
        (["FT_LBF/S", "FT-LBF/S", "LBF_FT/S", "LBF-FT/S"], "4.4482 * 0.3048 / 1000", "0.00135581136"),
        (["ERG/S"], "0.0000000001", None),
        (["W"], "0.001", None),
        (["J/S"], "0.001", None),
        (["KPM/S"], "0.00980665", None),
        (["HK"], "0.7355", None),
        (["KCAL/H"], "0.001163", None),
        (["KW"], "1", None),
        (["HP"], "0.7457", None),
        (["MW"], "1000", None),
    ]),
    (10, "SpecificEntropy", "specific entropy, in kJ per kg and kelvin", [
        (["KJ/KG,K"], "1", None),
        (["ERG/G,K"], "0.0000001", None),
        (["BTU/LBM,F", "BTU/LBM,R"], "1055.06 / 453.592 * 1.8", "4.18681987337"),
        (["J/KG,K"], "0.001", None),
    ]),
    (12, "SpecificVolume", "specific volume, in cubic metres per kg", [
        (["FT3/LB", "FT3/LBM"], "0.3048^3 / 0.453592", "0.0624280114993"),
        (["IN3/LB", "INCH3/LB", "IN3/LBM", "INCH3/LBM"], "0.0254^3 / 0.453592", "0.0000361273214695"),
        (["CM3/G", "CM3/GR"], "0.001", None),
        (["DM3/KG"], "0.001", None),
        (["LIT/KG"], "0.001", None),
        (["M3/KG"], "1", None),
        (["M3/TON", "M3/T"], "0.001", None),
    ]),
    (13, "VolumeFlow", "volume flow, in cubic metres per second", [
        (["CFM"], "0.3048^3 / 60", "0.0004719474432"),
        (["CM3/S"], "0.000001", None),
        (["L/S", "LIT/S"], "0.001", None),
        (["L/MIN", "LIT/MIN"], "1 / 60000", "0.0000166666666667"),
        (["M3/S"], "1", None),
        (["M3/MIN"], "1 / 60", "0.0166666666667"),
        (["M3/H"], "1 / 3600", "0.000277777777778"),
        (["M3/YR"], "1 / (365 * 86400)", "0.0000000317097919838"),
        (["M3/DAY"], "1 / 86400", "0.0000115740740741"),
    ]),
    (14, "MassFlow", "mass flow, in kg per second", [
        (["LB/S", "LBM/S"], "0.453592", None),
        (["OZ/S"], "0.0283495", None),
        (["G/S", "GR/S"], "0.001", None),
        (["KG/S"], "1", None),
        (["TON/S"], "1000", None),
        (["LB/MIN"], "0.453592 / 60", "0.00755986666667"),
        (["OZ/MIN"], "0.0283495 / 60", "0.000472491666667"),
        (["G/MIN", "GR/MIN"], "1 / 60000", "0.0000166666666667"),
        (["KG/MIN"], "1 / 60", "0.0166666666667"),
        (["TON/MIN"], "1000 / 60", "16.6666666667"),
        (["LB/H"], "0.453592 / 3600", "0.000125997777778"),
        (["OZ/H"], "0.0283495 / 3600", "0.00000787486111111"),
        (["G/H", "GR/H"], "1 / 3600000", "0.000000277777777778"),
        (["KG/H"], "1 / 3600", "0.000277777777778"),
        (["TON/H"], "1 / 3.6", "0.277777777778"),
    ]),
    (19, "EnergyPerVolume", "energy per volume, in kJ per cubic metre", [
        (["MWH/M3"], "3600000", None),
        (["HP/CFM"], "0.7457 * 60 / 0.3048^3", "1580.04881845"),
        (["KWH/FT3"], "3600 / 0.3048^3", "127132.800197"),
        (["J/L"], "1", None),
        (["J/M3"], "0.001", None),
        (["HP.MIN/M3"], "44.13", None),
        (["KWH/M3"], "3600", None),
    ]),
    (20, "Viscosity", "dynamic viscosity, in newton seconds per square metre", [
        (["NS/M2"], "1", None),
        (["KG/MS", "KG/M.S", "KG/M,S"], "1", None),
        (["G/CM.S", "G/CMS", "G/CM,S"], "0.1", None),
        (["LB.S/FT2", "LBS/FT2", "LBM.S/FT2"], "0.453592 / 0.09290304", "4.88242365374"),
    ]),
    (21, "MolarMass", "molar mass, in kg per kmol", [
        (["KG/KMOL"], "1", None),
        (["G/MOL"], "1", None),
        (["LB/KMOL", "LBM/KMOL"], "0.453592", None),
    ]),
    (22, "PerDegree", "per degree of temperature, in per kelvin", [
        (["F"], "1.8", None),
        (["C"], "1", None),
        (["K"], "1", None),
    ]),
    (23, "ThermalConductivity", "thermal conductivity, in kW per metre and degree Celsius", [
        (["W/M,C", "W/M.C"], "0.001", None),
        (["KW/M,C", "KW/M.C"], "1", None),
        (["ERG/CM,S,C", "ERG/CM.S.C"], "0.00000001", None),
        (["BTU/FT,S,F", "BTU/FT.S.F"], "1055.06 / 0.3048 / 1000 * 1.8", "6.23066929134"),
        (["W/M,K", "W/M.K"], "0.001", None),
        (["KW/M,K", "KW/M.K"], "1", None),
    ]),
    (24, "HeatTransferCoefficient", "heat transfer coefficient, in kW per square metre and degree Celsius", [
        (["W/M2,C", "W/M2.C"], "0.001", None),
        (["KW/M2,C", "KW/M2.C"], "1", None),
        (["ERG/CM2,S,C", "ERG/CM2.S.C"], "0.000001", None),
        (["BTU/FT2,S,F", "BTU/FT2.S.F"], "1055.06 / 0.09290304 / 1000", "11.3565713243"),
    ]),
]

MAX_NAMES_PER_ROW = 4
NAME_CHARACTERS = re.compile(r"[A-Z0-9/,.\-_]+")


def exact_value(derivation):
    """Evaluates a derivation with every decimal literal taken exactly."""
    if not re.fullmatch(r"[0-9.+\-*/^() ]+", derivation):
        raise ValueError("unexpected characters in " + derivation)
    source = re.sub(r"\d+(?:\.\d+)?", lambda m: 'F("%s")' % m.group(0), derivation)
    source = source.replace("^", "**")
    return eval(source, {"__builtins__": {}, "F": Fraction})  # noqa: S307 (own constants)


def real48_bytes(value):
    """The six-byte real nearest to an exact rational, half-way away from zero."""
    if value == 0:
        return [0] * 6
    negative = value < 0
    magnitude = -value if negative else value
    exponent = magnitude.numerator.bit_length() - magnitude.denominator.bit_length()
    if Fraction(2) ** exponent > magnitude:
        exponent -= 1
    elif Fraction(2) ** (exponent + 1) <= magnitude:
        exponent += 1
    # magnitude = m * 2^(exponent - 39) with 2^39 <= m < 2^40
    scaled = magnitude / Fraction(2) ** (exponent - 39)
    significand = int(scaled + Fraction(1, 2))  # floor: half-way goes up
    if significand == 1 << 40:
        significand >>= 1
        exponent += 1
    biased = exponent + 129
    if not 1 <= biased <= 255:
        raise ValueError("out of the six-byte range: %s" % value)
    fraction = significand - (1 << 39)
    out = [biased] + [(fraction >> (8 * i)) & 0xFF for i in range(5)]
    if negative:
        out[5] |= 0x80
    return out


def real48_value(raw):
    if raw[0] == 0:
        return Fraction(0)
    fraction = sum(raw[1 + i] << (8 * i) for i in range(4)) + ((raw[5] & 0x7F) << 32)
    value = Fraction((1 << 39) + fraction, 1 << 39) * Fraction(2) ** (raw[0] - 129)
    return -value if raw[5] & 0x80 else value


def check_tables():
    codes = [code for code, *_ in TABLES]
    assert codes == sorted(set(codes)), "codes out of order or repeated"
    for code, _, _, rows in TABLES:
        seen = set()
        for names, derivation, shown, *_ in rows:
            assert 1 <= len(names) <= MAX_NAMES_PER_ROW, names
            for name in names:
                assert NAME_CHARACTERS.fullmatch(name), "bad name %r" % name
                assert name not in seen, "code %d repeats %s" % (code, name)
                seen.add(name)
            value = exact_value(derivation)
            assert value != 0 or code == 6, "zero factor for %s" % names
            raw = real48_bytes(value)
            error = abs(real48_value(raw) - value)
            assert error <= abs(value) / 2**40, "rounding error too large for %s" % names
            if shown is not None:
                # The decimal shown beside the derivation, to 12 digits.
                assert abs(value - Fraction(shown)) <= abs(value) * Fraction(1, 10**11), names


def quoted(names):
    return ", ".join('"%s"' % name for name in names)


def render():
    check_tables()
    lines = [
        "// Recognition tables of the unit names: for each quantity code that has one,",
        "// the accepted names in upper case and the number of internal units in one",
        "// unit of that name (for temperature the scale selector: 0 Celsius,",
        "// 1 Fahrenheit, -1 Kelvin). A row with several names gives the same factor",
        "// to each; no name occurs twice in a table.",
        "//",
        "// Each factor is the six-byte real nearest to the exact value of the",
        "// derivation in its comment, rounded once (half-way away from zero). The",
        "// derivations rest on 1 ft = 0.3048 m, 1 in = 0.0254 m, 1 lb = 0.453592 kg,",
        "// 1 lbf = 4.4482 N, 1 Btu = 1055.06 J, 1 hp = 0.7457 kW and the other base",
        "// values listed in tools/unit_factors.py, taken as they stand.",
        "//",
        "// Generated by tools/unit_factors.py: change the derivations there and run",
        "//   /usr/bin/python3 tools/unit_factors.py --write",
        "",
        '#include "units/unit_factor_tables.h"',
        "",
        "namespace rudid {",
        "",
        "namespace {",
        "",
    ]
    for code, enumerator, title, rows in TABLES:
        lines.append("// Code %d, %s." % (code, title))
        lines.append("constexpr UnitNameRow k%sUnits[] = {" % enumerator)
        for names, derivation, _, *note in rows:
            raw = ", ".join("0x%02X" % b for b in real48_bytes(exact_value(derivation)))
            comment = derivation + "".join(": " + text for text in note)
            lines.append("    {{%s}, {{%s}}},  // %s" % (quoted(names), raw, comment))
        lines.append("};")
        lines.append("")
    lines += [
        "template <std::size_t N>",
        "constexpr RecognitionTable TableOf(const UnitNameRow (&rows)[N]) {",
        "    return RecognitionTable{rows, static_cast<int>(N)};",
        "}",
        "",
        "}  // namespace",
        "",
        "RecognitionTable RecognitionTableFor(QuantityCode code) {",
        "    switch (code) {",
    ]
    for code, enumerator, _, _ in TABLES:
        lines.append("        case %s: return TableOf(k%sUnits);" % (enumerator, enumerator))
    lines += [
        "        default: return RecognitionTable{nullptr, 0};",
        "    }",
        "}",
        "",
        "}  // namespace rudid",
        "",
    ]
    return "\n".join(lines)


def main(argv):
    text = render()
    if argv[1:] == ["--write"]:
        OUTPUT.write_text(text)
    elif argv[1:] == ["--check"]:
        if not OUTPUT.exists() or OUTPUT.read_text() != text:
            print("%s is not what tools/unit_factors.py generates" % OUTPUT, file=sys.stderr)
            return 1
    elif argv[1:] == []:
        sys.stdout.write(text)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
