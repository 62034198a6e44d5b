#pragma once
// Runs one job over the rows of a frame split into bands, one band per
// thread: the calling thread takes the first band, the pipeline's own worker
// threads the others. A job must only write rows of its own band.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumvek {

class RowBands {
public:
    // threads >= 1 (1: everything runs on the caller). Workers start here.
    explicit RowBands(int threads);
    ~RowBands();
    RowBands(const RowBands&) = delete;
    RowBands& operator=(const RowBands&) = delete;

    [[nodiscard]] int threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls job(first, end) for consecutive bands covering [first, end) and
    // returns when every band is done. Bands smaller than minRows are merged.
    void run(int first, int end, const std::function<void(int, int)>& job, int minRows = 16);

private:
    void workerLoop(int index);

    std::vector<std::thread> workers_;
    std::mutex mutex_;  // guards everything below
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int, int)>* job_ = nullptr;
    std::vector<std::pair<int, int>> bands_;  // bands_[i + 1] is worker i's
    uint64_t generation_ = 0;
    int pending_ = 0;
    bool stopping_ = false;
};

} // namespace lumvek
