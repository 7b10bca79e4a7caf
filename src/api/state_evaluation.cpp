// What solving states needs of the property functions: rows of one
// function evaluated in a context, the function of a pair, conversions
// between the context's units and the internal ones, and the test that a
// state gives back a given property.
#include <cmath>
#include <limits>

#include "api/context.h"
#include "api/state_solver.h"
#include "common/failure.h"
#include "tables/state_flags.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// How near a state must give back each given property (see GivesBack).
constexpr double kGivenPairTolerance = 1e-4;

constexpr int kPropertyQuantity[kStateProperties] = {RUDID_PRESSURE,         RUDID_TEMPERATURE,
                                                     RUDID_SPECIFIC_ENTHALPY, RUDID_SPECIFIC_ENTROPY,
                                                     RUDID_SPECIFIC_VOLUME,   RUDID_QUALITY};

double Convert(const RudidContext &context, int quantity, double value, bool toInternal) {
    if (quantity == RUDID_QUALITY) return value;
    const StartupConfiguration &config = ConfigOf(context);
    if (!config.unitRecognised[quantity] || !std::isfinite(value)) return kNaN;
    const QuantityCode code = QuantityCode(quantity);
    const Extended factor = config.unitFactorValue[quantity];
    try {
        // The internal unit: a factor of 1 only rounds to six bytes, which
        // the double's bits give; the Celsius scale (0) leaves the value as
        // it is.
        if (code == Temperature && factor == 0) return value;
        if (code != Temperature && factor == 1) return double(RoundDoubleToReal48(value));
        return double(toInternal ? ToInternalUnit(code, Extended(value), factor)
                                 : FromInternalUnit(code, Extended(value), factor));
    } catch (const LibraryFailure &) {
        return kNaN;
    }
}

}  // namespace

void ResizeBlock(StateBlock *block, std::size_t n) {
    block->values.assign(n * kStateProperties, kNaN);
    block->codes.assign(n * kStateProperties, 0);
    block->flags.assign(n * kStateProperties, 0);
    block->phase.assign(n, RUDID_PHASE_UNKNOWN);
}

void EvaluateTogether(const StateSetting &setting, const ExportDescriptor *const *fns, int count, std::size_t n,
                      const double *first, const double *second, Evaluation *out, bool withFlags) {
    Column columns[kMostColumns] = {};
    for (int c = 0; c < count; ++c) {
        out[c].value.resize(n);
        out[c].code.assign(n, 0);
        // The side of the line has no flags of its own.
        const bool flagged = withFlags && fns[c] != &SideOfTheLine();
        out[c].flags.assign(flagged ? n : 0, 0);
        columns[c] = {fns[c], out[c].value.data(), out[c].code.data(), flagged ? out[c].flags.data() : nullptr};
    }
    if (n == 0) return;
    EvaluateColumnsInContext(*setting.context, columns, count, setting.answer, n, first, second);
    for (int c = 0; c < count; ++c)
        for (std::size_t i = 0; i < n; ++i) {
            if (out[c].code[i] != 0) {
                out[c].value[i] = kNaN;
                continue;
            }
            const int range = RudidRangeCode(out[c].value[i]);
            if (range != 0) out[c].code[i] = range, out[c].value[i] = kNaN;
        }
}

void EvaluateRows(const StateSetting &setting, const ExportDescriptor &fn, std::size_t n, const double *first,
                  const double *second, Evaluation *out, bool withFlags) {
    const ExportDescriptor *fns[] = {&fn};
    EvaluateTogether(setting, fns, 1, n, first, second, out, withFlags);
}

int QuantityOfProperty(int property) { return kPropertyQuantity[property]; }

const ExportDescriptor *ExportFor(int result, int first, int second) {
    for (int i = 0; i < kExportCount; ++i) {
        const ExportDescriptor &fn = Describe(ExportId(i));
        if (fn.resultQuantity == result && fn.firstArgument == first && fn.secondArgument == second) return &fn;
    }
    return nullptr;
}

bool PairHasFunction(GivenPair pair) {
    if (pair.first >= kStateProperties || pair.second >= kStateProperties) return false;  // u or density
    const int a = kPropertyQuantity[pair.first], b = kPropertyQuantity[pair.second];
    for (int i = 0; i < kExportCount; ++i) {
        const ExportDescriptor &fn = Describe(ExportId(i));
        if ((fn.firstArgument == a && fn.secondArgument == b) || (fn.firstArgument == b && fn.secondArgument == a))
            return true;
    }
    return false;
}

double ToInternal(const RudidContext &context, int quantity, double value) {
    return Convert(context, quantity, value, true);
}

double FromInternal(const RudidContext &context, int quantity, double value) {
    return Convert(context, quantity, value, false);
}

bool GivesBack(const RudidContext &context, int property, double given, double value, int code) {
    if (code != 0) return false;
    const int quantity = kPropertyQuantity[property];
    double want = ToInternal(context, quantity, given), got = ToInternal(context, quantity, value);
    double floor = 0;
    switch (property) {
        case RUDID_STATE_T:
            want += double(kCelsiusZero), got += double(kCelsiusZero);
            break;
        case RUDID_STATE_H: floor = double(kEnthalpyScale); break;
        case RUDID_STATE_S: floor = double(kEntropyScale); break;
        case RUDID_STATE_X: floor = 1; break;
        default: break;
    }
    return std::fabs(got - want) <= kGivenPairTolerance * std::fmax(std::fabs(want), floor);
}

}  // namespace rudid
