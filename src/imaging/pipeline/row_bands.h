#pragma once
// Runs one job over the rows of a frame split into bands, one band per
// thread: the calling thread takes the first band, the pipeline's own worker
// threads the others. A job must only write rows of its own band.
#include <atomic>
#include <condition_variable>
#include <cstdint>
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

    // A borrowed job(first, end): no copy and no allocation, which the frame
    // loop needs (it runs several jobs on every frame).
    class Job {
    public:
        template <typename F>
        explicit Job(F& f)
            : context_(&f), call_([](void* context, int y0, int y1) { (*static_cast<F*>(context))(y0, y1); }) {}
        void operator()(int y0, int y1) const { call_(context_, y0, y1); }

    private:
        void* context_;
        void (*call_)(void*, int, int);
    };

    // Calls job(first, end) for consecutive bands covering [first, end) and
    // returns when every band is done. Bands smaller than minRows are merged.
    template <typename F>
    void run(int first, int end, F&& job, int minRows = 16) {
        runJob(first, end, Job(job), minRows);
    }
    void runJob(int first, int end, Job job, int minRows);

    // Jobs run back to back while one lives (the steps of one frame): a
    // worker done with a band watches for the next job for a moment before
    // it sleeps, since a woken thread starts tens of microseconds late, a
    // real share of a one-millisecond job. Outside a burst it sleeps at once
    // and burns no processor time waiting for the next frame.
    class Burst {
    public:
        explicit Burst(RowBands& bands) : bands_(bands) { bands_.watching_.store(true, std::memory_order_relaxed); }
        ~Burst() { bands_.watching_.store(false, std::memory_order_relaxed); }
        Burst(const Burst&) = delete;
        Burst& operator=(const Burst&) = delete;

    private:
        RowBands& bands_;
    };

private:
    void workerLoop(int index);

    std::vector<std::thread> workers_;
    // Everything below but watching_ is written under mutex_. generation_
    // and pending_ are also atomics so that a waiter can watch them for a
    // moment before it sleeps (the caller for the last band, a worker in a
    // burst for a job). watching_ is the calling thread's, through Burst.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const Job* job_ = nullptr;
    std::vector<std::pair<int, int>> bands_;  // bands_[i + 1] is worker i's
    std::atomic<uint64_t> generation_{0};
    std::atomic<int> pending_{0};
    bool stopping_ = false;
    std::atomic<bool> watching_{false};  // a Burst lives
};

} // namespace lumvek
