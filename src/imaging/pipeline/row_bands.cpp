#include "imaging/pipeline/row_bands.h"

#include <algorithm>

namespace lumvek {

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
        pending_ = static_cast<int>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    job(bands_[0].first, bands_[0].second);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
}

void RowBands::workerLoop(int index) {
    uint64_t seen = 0;
    for (;;) {
        std::pair<int, int> band;
        const Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) {
                return;
            }
            seen = generation_;
            band = bands_[static_cast<size_t>(index) + 1];
            job = job_;
        }
        if (band.first < band.second) {
            (*job)(band.first, band.second);
        }
        {
            std::lock_guard lock(mutex_);
            if (--pending_ == 0) {
                done_.notify_one();
            }
        }
    }
}

} // namespace lumvek
