// Arbitrary contents of the three table files in a scratch data directory:
// each file kept, cut short, overwritten in places with singles of any value
// (NaN, infinities, the largest and smallest singles, ...) or raw bytes,
// replaced whole by raw bytes, or missing. Whatever the tables hold, a call
// answers with a finite double or fails with a documented code, the batch
// row is the single call bit for bit, and the refined answer of the state is
// a finite double or a documented failure too.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "loaded_library.h"

namespace {

using namespace rudid::fuzzing;
using rudid::testing::Bytes;
using rudid::testing::LibraryInstance;

// A table file in the instance's data directory and what it holds now.
// Only the bytes that change are written, and the buffers are kept from one
// input to the next, so that an input costs little more than its calls.
class TableFile {
public:
    TableFile(std::string path, const Bytes &written) : path_(std::move(path)), onDisk_(written) {}

    // The contents the next Hold() gives the file; `present` false removes it.
    Bytes &wanted() { return wanted_; }
    bool present = true;

    // Not instrumented for coverage: comparing the bytes is the fuzzer's
    // own business, and traced it would cost more than the calls.
    __attribute__((noinline, no_sanitize("coverage"))) void Hold() {
        if (!present) {
            if (onDiskPresent_) ::unlink(path_.c_str());
            onDiskPresent_ = false;
            return;
        }
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT, 0644);
        FUZZ_CHECK(fd >= 0, "cannot write " + path_);
        if (!onDiskPresent_) onDisk_.clear();
        const std::size_t common = std::min(onDisk_.size(), wanted_.size());
        // The changed range, found block by block.
        constexpr std::size_t kBlock = 512;
        std::size_t first = 0;
        while (first + kBlock <= common && std::memcmp(&onDisk_[first], &wanted_[first], kBlock) == 0)
            first += kBlock;
        while (first < common && onDisk_[first] == wanted_[first]) ++first;
        std::size_t last = wanted_.size();
        if (onDisk_.size() == wanted_.size()) {
            while (last >= first + kBlock && std::memcmp(&onDisk_[last - kBlock], &wanted_[last - kBlock], kBlock) == 0)
                last -= kBlock;
            while (last > first && onDisk_[last - 1] == wanted_[last - 1]) --last;
        }
        bool ok = ::ftruncate(fd, off_t(wanted_.size())) == 0;
        if (last > first)
            ok = ok && ::pwrite(fd, wanted_.data() + first, last - first, off_t(first)) == ssize_t(last - first);
        ::close(fd);
        FUZZ_CHECK(ok, "cannot write " + path_);
        onDisk_.swap(wanted_);
        onDiskPresent_ = true;
    }

private:
    std::string path_;
    Bytes onDisk_, wanted_;
    bool onDiskPresent_ = true;
};

struct Scene {
    std::unique_ptr<LibraryInstance> instance;
    LibraryFunctions functions;
    std::vector<TableFile> files;
    std::vector<const Bytes *> shipped, synthetic;
};

Scene &TheScene() {
    static Scene scene;
    return scene;
}

float SingleFrom(FuzzedDataProvider &data) {
    constexpr float kValues[] = {std::numeric_limits<float>::quiet_NaN(),
                                 -std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::signaling_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 0.0f,
                                 -0.0f,
                                 std::numeric_limits<float>::max(),
                                 -std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::min(),
                                 1.7e38f,
                                 -1.0f,
                                 1e-30f};
    const std::size_t pick = data.ConsumeIntegralInRange<std::size_t>(0, std::size(kValues) + 1);
    if (pick < std::size(kValues)) return kValues[pick];
    if (pick == std::size(kValues)) return data.ConsumeIntegral<std::int16_t>() / 8.0f;
    const auto bits = data.ConsumeIntegral<std::uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// What one table file holds for this input, from its base contents.
__attribute__((noinline)) void ContentsFrom(FuzzedDataProvider &data, const Bytes &base, TableFile &file) {
    Bytes &bytes = file.wanted();
    file.present = true;
    bytes.assign(base.begin(), base.end());  // into the buffer kept from the last input
    switch (data.ConsumeIntegralInRange(0, 6)) {
        case 0:
        case 1: return;
        case 2: bytes.resize(data.ConsumeIntegralInRange<std::size_t>(0, base.size())); return;
        case 3:
        case 4: {
            const std::size_t singles = bytes.size() / 4;
            for (int patch = data.ConsumeIntegralInRange(1, 4); patch > 0; --patch) {
                if (data.ConsumeBool()) {
                    const std::size_t start = data.ConsumeIntegralInRange<std::size_t>(0, singles - 1);
                    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(1, 64);
                    const float value = SingleFrom(data);
                    for (std::size_t k = start; k < std::min(singles, start + count); ++k)
                        std::memcpy(bytes.data() + 4 * k, &value, 4);
                } else {
                    const std::size_t at = data.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1);
                    for (std::uint8_t byte : data.ConsumeBytes<std::uint8_t>(8))
                        if (at < bytes.size()) bytes[at] = byte;
                }
            }
            return;
        }
        case 5: {
            const std::vector<std::uint8_t> raw =
                data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 4096));
            bytes.assign(raw.begin(), raw.end());
            return;
        }
        default: file.present = false; return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    Scene &scene = TheScene();
    const rudid::testing::InstanceSetup setup = rudid::testing::ShippedSetup();
    scene.instance = std::make_unique<LibraryInstance>(setup);
    scene.functions = FunctionsOf(*scene.instance);
    static const rudid::testing::InstanceSetup shipped = setup;
    scene.shipped = {&*shipped.saturationByPressure, &*shipped.saturationByTemperature, &*shipped.singlePhase};
    scene.synthetic = {&rudid::testing::StandardSaturationByPressure(),
                       &rudid::testing::StandardSaturationByTemperature(), &rudid::testing::StandardSinglePhase()};
    const char *names[] = {"zarude.dat", "vevuzu.dat", "didizar.dat"};
    for (int k = 0; k < 3; ++k) scene.files.emplace_back(scene.instance->directory().file(names[k]), *scene.shipped[k]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    Scene &scene = TheScene();
    FuzzedDataProvider data(bytes, size);
    const int index = data.ConsumeIntegralInRange(0, kExportCount - 1);
    const double a = ArgumentFrom(data);
    const double b = ArgumentFrom(data);
    const std::uint16_t word = HostControlWord(data);
    const std::vector<const Bytes *> &base = data.ConsumeBool() ? scene.synthetic : scene.shipped;
    for (int k = 0; k < 3; ++k) {
        ContentsFrom(data, *base[k], scene.files[k]);
        scene.files[k].Hold();
    }

    const Outcome single = CheckedCall(scene.functions, index, a, b, word);
    CheckBatchRow(scene.functions, index, a, b, single, word);
    CheckRefinedRow(scene.functions, index, a, b, single, word);
    return 0;
}
