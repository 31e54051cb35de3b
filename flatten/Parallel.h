#pragma once
// Work shared among threads, for the batch and the scans of many models.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

// The most threads used at once, whatever is asked: each holds a model and
// a template being drawn, and more than this only wait on one another and
// on the disk (and thousands cannot be started at all).
inline constexpr int kMaxBatchJobs = 64;

// Runs work(i) for i in [0, count) on `jobs` threads.
template <typename Work> void InParallel(size_t count, int jobs, Work&& work) {
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t i; (i = next++) < count;)
            work(i);
    };
    const size_t wanted = std::min<size_t>(size_t(std::clamp(jobs, 1, kMaxBatchJobs)), count);
    std::vector<std::thread> threads;
    try {
        for (size_t t = 1; t < wanted; ++t)
            threads.emplace_back(run);
    } catch (const std::system_error&) {
        // The system gives no more threads: those started share the work.
    }
    run();
    for (std::thread& t : threads)
        t.join();
}
