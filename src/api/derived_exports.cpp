// RudidSolveProperties, RudidContextProperty and the names of the derived
// properties. No C++ exception leaves here.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "api/context.h"
#include "api/derived_properties.h"
#include "platform/platform.h"

namespace rudid {

namespace {

struct PropertyNaming {
    const char *name;
    const char *symbol;
};

constexpr PropertyNaming kNaming[kDerivedProperties] = {
    {"density", "rho"},       {"internal energy", "u"}, {"cp", "cp"},
    {"cv", "cv"},             {"speed of sound", "w"},  {"viscosity", "mu"},
    {"thermal conductivity", "lambda"}, {"Prandtl number", "Pr"}, {"surface tension", "sigma"}};

// Equal without regard to case, spaces, '_' and '-'.
bool SameName(const char *a, const char *b) {
    auto skip = [](const char *&c) {
        while (*c == ' ' || *c == '_' || *c == '-') ++c;
    };
    for (;;) {
        skip(a), skip(b);
        if (!*a || !*b) return !*a && !*b;
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
        ++a, ++b;
    }
}

int PropertyOfName(const char *name) {
    if (!name) return -1;
    for (int k = 0; k < kDerivedProperties; ++k)
        if (SameName(name, kNaming[k].name) || SameName(name, kNaming[k].symbol)) return k;
    if (SameName(name, "Prandtl")) return RUDID_PROPERTY_PRANDTL;
    return -1;
}

// Rows are solved and derived a block at a time, so that however many a
// call has, its working blocks stay small and in the cache.
constexpr std::size_t kRowsAtOnce = 8192;

// Blocks of rows, under the library's arithmetic: fill(start, count,
// block) gives each block's states, whose derived properties go to
// deliver(start, count, derived); the count of rows with a property not
// answered, or RUDID_OUT_OF_MEMORY.
template <typename Fill, typename Deliver>
int DeriveBlocks(const RudidContext &context, std::size_t n, unsigned wanted, Fill fill, Deliver deliver) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int result = 0;
    try {
        StateBlock block;
        DerivedBlock derived;
        for (std::size_t start = 0; start < n; start += kRowsAtOnce) {
            const std::size_t count = std::min(kRowsAtOnce, n - start);
            fill(start, count, &block);
            DeriveProperties(context, block, count, &derived, wanted);
            for (std::size_t i = 0; i < count; ++i) {
                bool answered = true;
                for (int k = 0; k < kDerivedProperties; ++k)
                    answered = answered && DerivedAnswered(derived.codes[std::size_t(kDerivedProperties) * i + std::size_t(k)]);
                if (!answered) ++result;
            }
            deliver(start, count, derived);
        }
    } catch (const std::bad_alloc &) {
        result = RUDID_OUT_OF_MEMORY;
    }
    platform::LeaveLibraryArithmetic(saved);
    return result;
}

// The states of the rows, solved from the pair (only what the wanted
// properties need of them), then their derived properties.
template <typename Deliver>
int Derive(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first, const double *second,
           unsigned wanted, Deliver deliver) {
    StateSetting solving = setting;
    if (PairHasFunction(pair)) solving.needed = StatePropertiesFor(wanted);
    return DeriveBlocks(
        *setting.context, n, wanted,
        [&](std::size_t start, std::size_t count, StateBlock *block) {
            SolveBlock(solving, pair, count, first + start, second + start, block);
        },
        deliver);
}

// Copies what a caller's arrays give of the rows' states into block.
void CopyStates(std::size_t start, std::size_t count, const double *states, const int *codes, const int *phase,
                const int *flags, StateBlock *block) {
    ResizeBlock(block, count);
    const std::size_t from = start * std::size_t(kStateProperties), width = count * std::size_t(kStateProperties);
    std::copy(states + from, states + from + width, block->values.begin());
    std::copy(codes + from, codes + from + width, block->codes.begin());
    if (flags)
        for (std::size_t at = 0; at < width; ++at) block->flags[at] = unsigned(flags[from + at]);
    std::copy(phase + start, phase + start + count, block->phase.begin());
}

// Each row's derived properties into the caller's arrays.
struct AllProperties {
    double *properties;
    int *codes;
    int *flags;
    void operator()(std::size_t start, std::size_t count, const DerivedBlock &derived) const {
        const std::size_t from = start * std::size_t(kDerivedProperties);
        for (std::size_t at = 0; at < count * std::size_t(kDerivedProperties); ++at) {
            properties[from + at] = derived.values[at];
            codes[from + at] = derived.codes[at];
            if (flags) flags[from + at] = int(derived.flags[at]);
        }
    }
};

// The call's setting, or a wrong call's code.
int SettingOf(RudidContext *context, const char *given, int options, bool flags, StateSetting *setting,
              GivenPair *pair) {
    const RudidContext &in = context ? *context : DefaultContext();
    if (!ReadGivenPair(given, pair)) return RUDID_UNKNOWN_FUNCTION;
    Answer answer;
    if (!AnswerOf(options, in.answer, &answer)) return RUDID_BAD_ARGUMENTS;
    *setting = StateSetting{&in, answer, flags};
    return 0;
}

}  // namespace

}  // namespace rudid

extern "C" {

RUDID_API int RUDID_CALL RudidSolveProperties(RudidContext *context, const char *given, int options, size_t n,
                                              const double *first, const double *second, double *properties,
                                              int *codes, int *flags) {
    using namespace rudid;
    StateSetting setting;
    GivenPair pair;
    if (const int wrong = SettingOf(context, given, options, flags != nullptr, &setting, &pair)) return wrong;
    if (n == 0) return 0;
    if (!first || !second || !properties || !codes) return RUDID_BAD_ARGUMENTS;
    return Derive(setting, pair, n, first, second, kAllDerived, AllProperties{properties, codes, flags});
}

RUDID_API int RUDID_CALL RudidDeriveStates(RudidContext *context, size_t n, const double *states, const int *codes,
                                           const int *phase, const int *flags, double *properties,
                                           int *propertyCodes, int *propertyFlags) {
    using namespace rudid;
    if (n == 0) return 0;
    if (!states || !codes || !phase || !properties || !propertyCodes) return RUDID_BAD_ARGUMENTS;
    const RudidContext &in = context ? *context : DefaultContext();
    return DeriveBlocks(
        in, n, kAllDerived,
        [&](std::size_t start, std::size_t count, StateBlock *block) {
            CopyStates(start, count, states, codes, phase, flags, block);
        },
        AllProperties{properties, propertyCodes, propertyFlags});
}

RUDID_API int RUDID_CALL RudidContextProperty(RudidContext *context, const char *property, const char *given,
                                              int options, size_t n, const double *first, const double *second,
                                              double *result, int *failure, int *flags) {
    using namespace rudid;
    const int k = PropertyOfName(property);
    if (k < 0) return RUDID_UNKNOWN_FUNCTION;
    StateSetting setting;
    GivenPair pair;
    if (const int wrong = SettingOf(context, given, options, flags != nullptr, &setting, &pair)) return wrong;
    if (n == 0) return 0;
    if (!first || !second || !result || !failure) return RUDID_BAD_ARGUMENTS;
    int failed = 0;
    const int outcome = Derive(setting, pair, n, first, second, 1u << k,
                               [&](std::size_t start, std::size_t count, const DerivedBlock &derived) {
                                   for (std::size_t i = 0; i < count; ++i) {
                                       const std::size_t at = std::size_t(kDerivedProperties) * i + std::size_t(k);
                                       result[start + i] = derived.values[at];
                                       failure[start + i] = derived.codes[at];
                                       if (flags) flags[start + i] = int(derived.flags[at]);
                                       if (failure[start + i] != 0) ++failed;
                                   }
                               });
    return outcome < 0 ? outcome : failed;
}

RUDID_API const char *RUDID_CALL RudidPropertyName(int property) {
    return property >= 0 && property < rudid::kDerivedProperties ? rudid::kNaming[property].name : nullptr;
}

RUDID_API const char *RUDID_CALL RudidPropertySymbol(int property) {
    return property >= 0 && property < rudid::kDerivedProperties ? rudid::kNaming[property].symbol : nullptr;
}

RUDID_API int RUDID_CALL RudidPropertyQuantity(int property) { return rudid::DerivedQuantity(property); }

RUDID_API int RUDID_CALL RudidPropertyIndex(const char *name) { return rudid::PropertyOfName(name); }

}  // extern "C"
