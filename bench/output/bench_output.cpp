// Full-frame (2336 x 1752) timings: each still-image type at 8 and 24 bits,
// the AVI append of a 24-bit frame, and every conversion kernel on both paths.
// Files go to $LUMVEK_BENCH_DIR (default /tmp).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "imaging/convert/conversion_kernels.h"
#include "imaging/convert/restride.h"
#include "output/avi/avi_frame_producer.h"
#include "output/avi/avi_writer.h"
#include "output/still/save_image.h"

namespace {

using namespace lumvek;

constexpr int kWidth = 2336;
constexpr int kHeight = 1752;

std::string benchPath(const std::string& name) {
    const char* dir = std::getenv("LUMVEK_BENCH_DIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/lumvek-bench-" + std::to_string(::getpid()) + "-" + name;
}

// A picture with some structure (so JPEG and PNG do real work).
void fillScene(ImageBuffer& b) {
    for (int r = 0; r < b.height(); ++r) {
        uint8_t* row = b.row(r);
        for (int i = 0; i < b.stride(); ++i) {
            row[i] = static_cast<uint8_t>((r / 3 + i / 5) ^ ((r * i) >> 9));
        }
    }
}

void saveType(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const int type = static_cast<int>(state.range(1));
    ImageBuffer picture;
    if (!picture.create(kWidth, kHeight, bits)) {
        state.SkipWithError("no memory");
        return;
    }
    fillScene(picture);
    const std::string path = benchPath("still");
    for (auto _ : state) {
        if (saveImage(picture, bits, path.c_str(), type).result != 1) {
            state.SkipWithError("save failed");
            break;
        }
    }
    ::unlink(path.c_str());
    static const char* const kNames[] = {"bmp", "raw", "jpeg100", "jpeg70", "jpeg20", "png", "tiff"};
    state.SetLabel(std::string(kNames[type]) + " " + std::to_string(bits) + "-bit");
}
BENCHMARK(saveType)
    ->ArgsProduct({{8, 24}, {0, 1, 2, 3, 4, 5, 6}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Conversion plus append, as the recorder does per frame.
void aviAppend(benchmark::State& state) {
    const std::string path = benchPath("record.avi");
    AviWriter writer;
    AviFrameProducer producer;
    ImageBuffer picture;
    if (!writer.open(path.c_str(), kWidth, kHeight) || !producer.prepare(kWidth, kHeight) ||
        !picture.create(kWidth, kHeight, 24)) {
        state.SkipWithError("setup failed");
        return;
    }
    fillScene(picture);
    int sinceStart = 0;
    for (auto _ : state) {
        const ImageBuffer* frame = producer.produce(picture);
        auto result = writer.appendFrame(*frame);
        if (result == AviWriter::AppendResult::SizeLimit || ++sinceStart == 200) {
            // Start a new file before the 4 GiB limit (and to bound disk use).
            state.PauseTiming();
            writer.finalize(1000);
            (void)writer.open(path.c_str(), kWidth, kHeight);
            sinceStart = 0;
            state.ResumeTiming();
        } else if (result != AviWriter::AppendResult::Appended) {
            state.SkipWithError("append failed");
            break;
        }
    }
    writer.finalize(1000);
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(avi::frameBytes(kWidth, kHeight)));
}
BENCHMARK(aviAppend)->Unit(benchmark::kMillisecond)->UseRealTime();

struct KernelCase {
    Conversion member;
    int srcBits;
    int dstBits;
    const char* name;
};
const KernelCase kKernels[] = {
    {Conversion::TenBitTo8Flipped, 16, 8, "10bit->8 flipped"},
    {Conversion::HighByte16To8, 16, 8, "16->8"},
    {Conversion::HighBytesTo24Flipped, 48, 24, "48->24 flipped"},
    {Conversion::HighBytesTo24, 64, 24, "64->24"},
    {Conversion::Copy24Flipped, 24, 24, "24->24 flipped"},
    {Conversion::Copy24, 32, 24, "32->24"},
    {Conversion::SwapRedBlue, 24, 24, "swap 24"},
    {Conversion::InvertFourthByte32, 32, 32, "invert alpha 32"},
    {Conversion::CopyRowsFlipped, 24, 24, "rows flipped 24"},
    {Conversion::Grey8To24, 8, 24, "grey->24"},
    {Conversion::SwapRedBlue16, 64, 64, "swap 64"},
};

void conversion(benchmark::State& state) {
    const KernelCase& k = kKernels[state.range(0)];
    const KernelPath path = state.range(1) == 0 ? KernelPath::Reference : KernelPath::Optimised;
    ImageBuffer src;
    ImageBuffer dst;
    if (!src.create(kWidth, kHeight, k.srcBits) || !dst.create(kWidth, kHeight, k.dstBits)) {
        state.SkipWithError("no memory");
        return;
    }
    fillScene(src);
    for (auto _ : state) {
        benchmark::DoNotOptimize(convertImage(dst, k.member, src, path));
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(k.name) + (path == KernelPath::Reference ? " scalar" : " optimised"));
}
BENCHMARK(conversion)
    ->ArgsProduct({benchmark::CreateDenseRange(0, static_cast<int>(std::size(kKernels)) - 1, 1), {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void restride(benchmark::State& state) {
    const KernelPath path = state.range(0) == 0 ? KernelPath::Reference : KernelPath::Optimised;
    ImageBuffer raw;
    if (!raw.create(kWidth - 2, kHeight, 8)) {  // 2334 wide: rows need spreading
        state.SkipWithError("no memory");
        return;
    }
    for (auto _ : state) {
        restridePackedRows(raw, path);
        benchmark::ClobberMemory();
    }
    state.SetLabel(path == KernelPath::Reference ? "scalar" : "optimised");
}
BENCHMARK(restride)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
