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
    bands_.resize(static_cast<size_t>(extra) + 1);
    for (int i = 0; i < extra; ++i) {
        workers_.emplace_back([this, i] { workerLoop(i); });
    }
}

RowBands::~RowBands() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

void RowBands::runJob(int first, int end, Job job, int minRows) {
    const int rows = end - first;
    if (rows <= 0) {
        return;
    }
    const int wanted = std::clamp(rows / std::max(minRows, 1), 1, threads());
    if (wanted == 1) {
        job(first, end);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (int i = 0; i < threads(); ++i) {
            const int b0 = first + static_cast<int>(static_cast<int64_t>(rows) * i / wanted);
            const int b1 = first + static_cast<int>(static_cast<int64_t>(rows) * (i + 1) / wanted);
            bands_[static_cast<size_t>(i)] = i < wanted ? std::pair{b0, b1} : std::pair{end, end};
        }
        job_ = &job;
        pending_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
        generation_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();
    job(bands_[0].first, bands_[0].second);
    watchFor([this] { return pending_.load(std::memory_order_acquire) == 0; });
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_.load(std::memory_order_relaxed) == 0; });
    job_ = nullptr;
}

void RowBands::workerLoop(int index) {
    uint64_t seen = 0;
    for (;;) {
        std::pair<int, int> band;
        const Job* job = nullptr;
        watchFor([&] {
            return generation_.load(std::memory_order_acquire) != seen || !watching_.load(std::memory_order_relaxed);
        });
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_.load(std::memory_order_relaxed) != seen; });
            if (stopping_) {
                return;
            }
            seen = generation_.load(std::memory_order_relaxed);
            band = bands_[static_cast<size_t>(index) + 1];
            job = job_;
        }
        if (band.first < band.second) {
            (*job)(band.first, band.second);
        }
        {
            std::lock_guard lock(mutex_);
            if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                done_.notify_one();
            }
        }
    }
}

} // namespace lumvek
