#include "imaging/pipeline/row_bands.h"

#include <algorithm>
#include <chrono>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumvek {

namespace {

// How long a waiter watches before it sleeps: longer than the gap between
// two jobs of one frame, short beside a frame's period.
constexpr auto kWatch = std::chrono::microseconds(50);
constexpr int kPausesPerClockRead = 16;

// The claim word: the job's generation in the high half, its band count and
// the next band to take in the low half (16 bits each).
constexpr int kGenerationShift = 32;
constexpr int kCountShift = 16;
constexpr uint64_t kFieldMask = 0xffff;
constexpr int kMostBands = 0xffff;

inline void cpuPause() {
#if defined(__x86_64__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Polls `done` for up to kWatch.
template <typename Done>
void watchFor(Done done) {
    const auto until = std::chrono::steady_clock::now() + kWatch;
    for (;;) {
        for (int i = 0; i < kPausesPerClockRead; ++i) {
            if (done()) {
                return;
            }
            cpuPause();
        }
        if (std::chrono::steady_clock::now() >= until) {
            return;
        }
    }
}

} // namespace

RowBands::RowBands(int threads) {
    const int extra = std::max(threads, 1) - 1;
    for (int i = 0; i < extra; ++i) {
        workers_.emplace_back([this] { workerLoop(); });
    }
}

RowBands::~RowBands() {
    {
        platform::MutexLock lock(mutex_);
        stopping_ = true;
    }
    wake_.notifyAll();
    for (auto& worker : workers_) {
        worker.join();
    }
}

int RowBands::bandsFor(int rows, int minRows) const {
    if (workers_.empty()) {
        return 1;
    }
    return std::clamp(rows / std::max(minRows, 1), 1, std::min(threads() * kBandsPerThread, kMostBands));
}

void RowBands::runJob(int first, int end, Job job, int minRows) {
    const int rows = end - first;
    if (rows <= 0) {
        return;
    }
    const int bands = bandsFor(rows, minRows);
    if (bands == 1) {
        job(first, end);
        return;
    }
    job_ = &job;
    first_ = first;
    rows_ = rows;
    bandCount_ = bands;
    bandsDone_.store(0, std::memory_order_relaxed);
    const uint32_t generation = generation_.load(std::memory_order_relaxed) + 1;
    claim_.store((static_cast<uint64_t>(generation) << kGenerationShift) |
                     (static_cast<uint64_t>(bands) << kCountShift),
                 std::memory_order_release);
    {
        platform::MutexLock lock(mutex_);
        generation_.store(generation, std::memory_order_release);
    }
    wake_.notifyAll();
    takeBands(generation);
    watchFor([this] { return allBandsDone(); });
    {
        platform::MutexLock lock(mutex_);
        done_.wait(mutex_, [this] { return allBandsDone(); });
    }
    job_ = nullptr;
}

bool RowBands::allBandsDone() const { return bandsDone_.load(std::memory_order_acquire) == bandCount_; }

void RowBands::takeBands(uint32_t generation) {
    uint64_t claim = claim_.load(std::memory_order_acquire);
    for (;;) {
        if (static_cast<uint32_t>(claim >> kGenerationShift) != generation) {
            return;  // that job is over and another may run
        }
        const auto count = static_cast<int>((claim >> kCountShift) & kFieldMask);
        const auto band = static_cast<int>(claim & kFieldMask);
        if (band >= count) {
            return;
        }
        if (!claim_.compare_exchange_weak(claim, claim + 1, std::memory_order_acq_rel, std::memory_order_acquire)) {
            continue;  // another thread took a band first: `claim` is the word now
        }
        const int y0 = first_ + static_cast<int>(static_cast<int64_t>(rows_) * band / count);
        const int y1 = first_ + static_cast<int>(static_cast<int64_t>(rows_) * (band + 1) / count);
        (*job_)(y0, y1);
        if (bandsDone_.fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
            platform::MutexLock lock(mutex_);
            done_.notifyOne();
            return;
        }
        claim = claim_.load(std::memory_order_acquire);
    }
}

void RowBands::workerLoop() {
    uint32_t seen = 0;
    for (;;) {
        watchFor([&] {
            return generation_.load(std::memory_order_acquire) != seen || !watching_.load(std::memory_order_relaxed);
        });
        {
            platform::MutexLock lock(mutex_);
            wake_.wait(mutex_, [&]() REQUIRES(mutex_) {
                return stopping_ || generation_.load(std::memory_order_relaxed) != seen;
            });
            if (stopping_) {
                return;
            }
            seen = generation_.load(std::memory_order_relaxed);
        }
        takeBands(seen);
    }
}

} // namespace lumvek
