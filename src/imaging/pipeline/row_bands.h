#pragma once
// Runs one job over the rows of a frame split into bands: the calling thread
// and the pipeline's own worker threads take the bands in turn, each the
// next one nobody has taken, until all are done. A worker that wakes late
// (its processor was busy or asleep) finds fewer bands left instead of
// holding the frame up, and a band that runs slow leaves the others to the
// thread that is free. A job must only write rows of its own band.
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/sync/thread_annotations.h"

namespace lumvek {

class RowBands {
public:
    // threads >= 1 (1: everything runs on the caller). Workers start here.
    explicit RowBands(int threads);
    ~RowBands();
    RowBands(const RowBands&) = delete;
    RowBands& operator=(const RowBands&) = delete;

    [[nodiscard]] int threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Bands a run over `rows` rows splits them into: a few per thread, none
    // smaller than minRows (but at least one band).
    [[nodiscard]] int bandsFor(int rows, int minRows) const;

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

    // Calls job(first, end) for the consecutive bands covering [first, end)
    // that bandsFor() gives, and returns when every band is done.
    template <typename F>
    void run(int first, int end, F&& job, int minRows = 16) {
        runJob(first, end, Job(job), minRows);
    }
    void runJob(int first, int end, Job job, int minRows);

    // Jobs run back to back while one lives (the steps of one frame): a
    // worker done with a job watches for the next one for a moment before
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
    // Bands per thread: enough that a thread late by a fraction of the job
    // costs only that fraction, few enough that the steps' own band-edge
    // work stays small.
    static constexpr int kBandsPerThread = 2;

    void workerLoop();
    // Takes and runs bands of the job published as `generation` until none
    // is left. Touches the job only for a band it took: a band not yet done
    // keeps the caller, and with it the job, waiting.
    void takeBands(uint32_t generation);
    [[nodiscard]] bool allBandsDone() const;

    std::vector<std::thread> workers_;
    // The job's description (job_, first_, rows_) is written by the caller
    // before it publishes the job in claim_ and read by a thread only after
    // it has taken a band of it, so no lock guards it: the caller writes the
    // next one only once every band (and every read) is done.
    const Job* job_ = nullptr;
    int first_ = 0;
    int rows_ = 0;
    int bandCount_ = 0;  // the caller's own copy, for its wait
    // The job's generation (high 32 bits), its band count and the next band
    // to take (16 bits each): the workers read the count from here.
    std::atomic<uint64_t> claim_{0};
    std::atomic<int> bandsDone_{0};
    // generation_ wakes the workers; mutex_ and the condition variables only
    // put threads to sleep and wake them (a change of generation_ or
    // bandsDone_ is made or announced under mutex_, so no wake is lost).
    platform::Mutex mutex_;
    platform::ConditionVariable wake_;
    platform::ConditionVariable done_;
    std::atomic<uint32_t> generation_{0};
    bool stopping_ GUARDED_BY(mutex_) = false;
    std::atomic<bool> watching_{false};  // a Burst lives
};

} // namespace lumvek
