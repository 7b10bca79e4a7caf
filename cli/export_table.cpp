#include "export_table.h"

#include <vector>

#include "platform/tool_platform.h"

namespace rudid::cli {

namespace {

std::vector<ExportInfo> AskTheLibrary() {
    std::vector<ExportInfo> exports;
    const int count = RudidFunctionCount();
    for (int index = 0; index < count; ++index) {
        const char *name = RudidFunctionName(index);
        if (!name) continue;
        ExportInfo info;
        info.index = index;
        info.name = name;
        const char *summary = RudidFunctionDescription(index);
        info.summary = summary ? summary : "";
        info.arity = RudidFunctionArity(index);
        for (int i = 0; i < info.arity && i < 2; ++i)
            info.arguments[i] = Quantity(RudidFunctionArgument(index, i + 1));
        info.result = Quantity(RudidFunctionResult(index));
        void *symbol = platform::DirectExport(name);
        if (info.arity == 1) info.one = reinterpret_cast<OneArgumentFunction>(symbol);
        if (info.arity == 2) info.two = reinterpret_cast<TwoArgumentFunction>(symbol);
        exports.push_back(std::move(info));
    }
    return exports;
}

}  // namespace

std::span<const ExportInfo> Exports() {
    static const std::vector<ExportInfo> exports = AskTheLibrary();
    return exports;
}

const ExportInfo *FindExport(std::string_view name) {
    const int index = RudidFunctionIndex(std::string(name).c_str());
    for (const ExportInfo &info : Exports())
        if (info.index == index) return &info;
    return nullptr;
}

const ExportInfo *FindExportFor(Quantity result, Quantity first, Quantity second) {
    for (const ExportInfo &info : Exports())
        if (info.result == result && info.arguments[0] == first && info.arguments[1] == second) return &info;
    return nullptr;
}

std::string QuantityWord(Quantity quantity) {
    if (quantity == Quantity::InternalEnergy) return "internal energy";
    const char *name = RudidQuantityName(int(quantity));
    return name ? name : "";
}

}  // namespace rudid::cli
