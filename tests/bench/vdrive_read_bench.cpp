// What serving a read costs the virtual drive: READ(10) of one block from
// an image in the page cache (the target is under 5 microseconds), and a
// raw READ CD, whose sector is built with EDC and parity.
#include <benchmark/benchmark.h>

#include <fstream>
#include <vector>

#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

namespace {

using dravik::platform::DataDirection;
using dravik::platform::ScsiRequest;

constexpr int kBlocks = 4096;

struct BenchDisc {
    dravik::test::TempDir dir;
    std::unique_ptr<dravik::vdrive::VirtualDrive> drive;
    BenchDisc() {
        const std::string iso = dir.File("bench.iso");
        {
            std::ofstream f(iso, std::ios::binary);
            std::vector<char> block(2048, 'x');
            for (int b = 0; b < kBlocks; ++b) f.write(block.data(), 2048);
        }
        dravik::vdrive::LoadError error;
        drive = dravik::vdrive::VirtualDrive::Open(iso, error);
    }
};

BenchDisc& Disc() {
    static BenchDisc disc;
    return disc;
}

void ReadOneBlock(benchmark::State& state, uint8_t opcode) {
    auto& drive = *Disc().drive;
    const size_t size = opcode == 0x28 ? 2048 : 2352;
    std::vector<uint8_t> buffer(size);
    uint32_t lba = 0;
    for (auto _ : state) {
        uint8_t cdb10[10] = {0x28, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, 0, 1, 0};
        uint8_t cdb12[12] = {0xBE, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, 0, 1, 0xF8, 0, 0};
        ScsiRequest request;
        request.cdb = opcode == 0x28 ? cdb10 : cdb12;
        request.cdbLength = opcode == 0x28 ? 10 : 12;
        request.direction = DataDirection::kIn;
        request.data = buffer.data();
        request.dataLength = buffer.size();
        auto result = drive.Execute(request);
        if (!result.Good()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(buffer.data());
        lba = (lba + 37) % kBlocks;  // wander over the image
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Read10OneBlock(benchmark::State& state) { ReadOneBlock(state, 0x28); }
void BM_ReadCdRawOneBlock(benchmark::State& state) { ReadOneBlock(state, 0xBE); }

BENCHMARK(BM_Read10OneBlock);
BENCHMARK(BM_ReadCdRawOneBlock);

}  // namespace

BENCHMARK_MAIN();
