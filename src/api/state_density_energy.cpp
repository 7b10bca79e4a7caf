// States given by a density or by a pressure and an internal energy. A
// density is the inverse of the specific volume, so its pair is solved as
// the pair of that volume. At a pressure the internal energy u = h - p v
// rises with the enthalpy (du/dh = 1 - p (dv/dh) at constant p, which the
// saturated mixture and the phases keep above 0), so the enthalpy of the
// state is found by false position between the states at 0.01 and 799.99
// C, and the state then solved from the pressure and that enthalpy.
//
// The arithmetic runs in the extended format and is rounded to double only
// where a value is handed on: a double expression would be evaluated in the
// x87 unit by the 32-bit DLL and in SSE elsewhere, with other last bits.
#include <cmath>
#include <limits>

#include "api/context.h"
#include "api/state_solver.h"
#include "common/constants.h"

namespace rudid {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// C: the single-phase table's range, a little inside, so that the ends'
// enthalpies, converted into the context's unit and back, stay inside the
// inverse lookup's range.
constexpr double kFirstEnd = 0.01, kSecondEnd = 799.99;
constexpr int kMostSteps = 100;
constexpr Extended kConverged = 1e-12L;  // of max(|u|, 1 kJ/kg)
constexpr Extended kEnergyFloor = 1;     // kJ/kg, as an enthalpy's

std::size_t At(std::size_t i, int property) { return std::size_t(kStateProperties) * i + std::size_t(property); }

void Unanswered(StateBlock *block, std::size_t i, int code) {
    for (int k = 0; k < kStateProperties; ++k) {
        block->values[At(i, k)] = kNaN;
        block->codes[At(i, k)] = code;
        block->flags[At(i, k)] = 0;
    }
    block->phase[i] = RUDID_PHASE_UNKNOWN;
}

// u = h - p v in kJ/kg, from p, h and v in the context's units.
Extended EnergyOf(const RudidContext &context, double p, double h, double v) {
    return Extended(ToInternal(context, RUDID_SPECIFIC_ENTHALPY, h)) -
           kKilopascalPerBar * Extended(ToInternal(context, RUDID_PRESSURE, p)) *
               Extended(ToInternal(context, RUDID_SPECIFIC_VOLUME, v));
}

// The internal energies (kJ/kg) at pressures and enthalpies given in the
// context's units; NaN with the code where the volume has none.
void EnergiesAt(const StateSetting &setting, const std::vector<double> &p, const std::vector<double> &h,
                std::vector<Extended> *u, std::vector<int> *codes) {
    const RudidContext &context = *setting.context;
    Evaluation volume;
    EvaluateRows(setting, *ExportFor(RUDID_SPECIFIC_VOLUME, RUDID_PRESSURE, RUDID_SPECIFIC_ENTHALPY), p.size(),
                 p.data(), h.data(), &volume);
    u->resize(p.size());
    *codes = volume.code;
    for (std::size_t i = 0; i < p.size(); ++i) {
        (*u)[i] = volume.code[i] != 0 ? Extended(kNaN) : EnergyOf(context, p[i], h[i], volume.value[i]);
    }
}

// One row's search of the enthalpy (internal units) between a and b.
struct EnergySearch {
    Extended a, fa, b, fb;  // enthalpies and their energy less the target
    bool open;
};

// The search of each row at the ends, the states at 0 and 800 C: open
// where the energy lies between theirs, else answered or refused.
void SearchFromTheEnds(const StateSetting &setting, std::size_t n, const double *p, const std::vector<Extended> &target,
                       std::vector<EnergySearch> *search, std::vector<double> *h, std::vector<int> *codes) {
    const RudidContext &context = *setting.context;
    const ExportDescriptor &enthalpy = *ExportFor(RUDID_SPECIFIC_ENTHALPY, RUDID_PRESSURE, RUDID_TEMPERATURE);
    const std::vector<double> pressures(p, p + n);
    for (const double t : {kFirstEnd, kSecondEnd}) {
        const std::vector<double> temperature(n, FromInternal(context, RUDID_TEMPERATURE, t));
        Evaluation end;
        EvaluateRows(setting, enthalpy, n, p, temperature.data(), &end);
        std::vector<Extended> energy;
        std::vector<int> code;
        EnergiesAt(setting, pressures, end.value, &energy, &code);
        for (std::size_t i = 0; i < n; ++i) {
            const int failed = end.code[i] != 0 ? end.code[i] : code[i];
            if (failed != 0 && (*codes)[i] == 0) (*codes)[i] = failed;
            EnergySearch &s = (*search)[i];
            const Extended hi = ToInternal(context, RUDID_SPECIFIC_ENTHALPY, end.value[i]);
            if (t == kFirstEnd)
                s.a = hi, s.fa = energy[i] - target[i];
            else
                s.b = hi, s.fb = energy[i] - target[i];
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        EnergySearch &s = (*search)[i];
        s.open = false;
        if ((*codes)[i] != 0) continue;
        if (!std::isfinite(target[i]))
            (*codes)[i] = RUDID_NO_STATE;
        else if (s.fa == 0)
            (*h)[i] = FromInternal(context, RUDID_SPECIFIC_ENTHALPY, double(s.a));
        else if (s.fb == 0)
            (*h)[i] = FromInternal(context, RUDID_SPECIFIC_ENTHALPY, double(s.b));
        else if (s.fa > 0 || s.fb < 0)
            (*codes)[i] = RUDID_NO_STATE;  // below the 0 C state's energy or above the 800 C one's
        else
            s.open = true;
    }
}

// One step of false position with the Illinois halving for all open rows,
// in one batch. False when none was open.
bool FalsePositionStep(const StateSetting &setting, const double *p, const std::vector<Extended> &target,
                       std::vector<EnergySearch> *search, std::vector<double> *h, std::vector<int> *codes) {
    const RudidContext &context = *setting.context;
    std::vector<std::size_t> rows;
    std::vector<double> rowP, rowH;
    for (std::size_t i = 0; i < search->size(); ++i) {
        const EnergySearch &s = (*search)[i];
        if (!s.open) continue;
        const Extended c = s.b - s.fb * (s.b - s.a) / (s.fb - s.fa);
        rows.push_back(i);
        rowP.push_back(p[i]);
        rowH.push_back(FromInternal(context, RUDID_SPECIFIC_ENTHALPY, double(c)));
    }
    if (rows.empty()) return false;
    std::vector<Extended> energy;
    std::vector<int> code;
    EnergiesAt(setting, rowP, rowH, &energy, &code);
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const std::size_t i = rows[j];
        EnergySearch &s = (*search)[i];
        if (code[j] != 0) {
            s.open = false;
            (*codes)[i] = code[j];
            continue;
        }
        const Extended c = ToInternal(context, RUDID_SPECIFIC_ENTHALPY, rowH[j]), fc = energy[j] - target[i];
        if ((fc < 0) == (s.fb < 0))
            s.fa /= 2;
        else
            s.a = s.b, s.fa = s.fb;
        s.b = c, s.fb = fc;
        if (std::fabs(fc) <= kConverged * std::fmax(std::fabs(target[i]), kEnergyFloor) || s.a == s.b) {
            s.open = false;
            (*h)[i] = rowH[j];
        }
    }
    return true;
}

// The enthalpies (in the context's unit) whose states at the pressures have
// the energies; NaN with the row's code in codes where none has.
void EnthalpiesOfEnergies(const StateSetting &setting, std::size_t n, const double *p, const double *u,
                          std::vector<double> *h, std::vector<int> *codes) {
    h->assign(n, kNaN);
    codes->assign(n, 0);
    std::vector<EnergySearch> search(n);
    std::vector<Extended> target(n);
    for (std::size_t i = 0; i < n; ++i) target[i] = ToInternal(*setting.context, RUDID_SPECIFIC_ENTHALPY, u[i]);
    SearchFromTheEnds(setting, n, p, target, &search, h, codes);
    for (int step = 0; step < kMostSteps; ++step)
        if (!FalsePositionStep(setting, p, target, &search, h, codes)) break;
    for (std::size_t i = 0; i < n; ++i)
        if (search[i].open) (*codes)[i] = RUDID_NO_STATE;
}

void SolveByEnergy(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                   const double *second, StateBlock *block) {
    const double *p = pair.first == RUDID_STATE_P ? first : second;
    const double *u = pair.first == RUDID_STATE_P ? second : first;
    std::vector<double> h;
    std::vector<int> codes;
    EnthalpiesOfEnergies(setting, n, p, u, &h, &codes);
    SolveByFunctions(setting, GivenPair{RUDID_STATE_P, RUDID_STATE_H}, n, p, h.data(), block);
    const RudidContext &context = *setting.context;
    for (std::size_t i = 0; i < n; ++i) {
        if (codes[i] != 0) {
            Unanswered(block, i, codes[i]);
            continue;
        }
        // The state's own energy must give back the given one, as a given
        // enthalpy must.
        const Extended energy =
            EnergyOf(context, p[i], block->values[At(i, RUDID_STATE_H)], block->values[At(i, RUDID_STATE_V)]);
        const Extended want = ToInternal(context, RUDID_SPECIFIC_ENTHALPY, u[i]);
        const bool back = block->codes[At(i, RUDID_STATE_V)] == 0 &&
                          std::fabs(energy - want) <= 1e-4L * std::fmax(std::fabs(want), kEnergyFloor);
        if (!back) Unanswered(block, i, RUDID_NO_STATE);
    }
}

}  // namespace

void SolveByDensityOrEnergy(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                            const double *second, StateBlock *block) {
    if (pair.first == kGivenInternalEnergy || pair.second == kGivenInternalEnergy) {
        SolveByEnergy(setting, pair, n, first, second, block);
        return;
    }
    // The density as a volume, in the context's units: v = 1 / rho.
    const RudidContext &context = *setting.context;
    const bool densityFirst = pair.first == kGivenDensity;
    const double *density = densityFirst ? first : second;
    std::vector<double> volume(n);
    for (std::size_t i = 0; i < n; ++i)
        volume[i] = FromInternal(context, RUDID_SPECIFIC_VOLUME,
                                 double(1 / Extended(ToInternal(context, RUDID_DENSITY, density[i]))));
    const GivenPair asVolume = densityFirst ? GivenPair{RUDID_STATE_V, pair.second} : GivenPair{pair.first, RUDID_STATE_V};
    SolveBlock(setting, asVolume, n, densityFirst ? volume.data() : first, densityFirst ? second : volume.data(),
               block);
}

}  // namespace rudid
