#include "window/window_replicates.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <vector>

#include "resampling/resample.h"

namespace triotdt::window {
namespace {

// One window's replicates under way; see the protocol in the header.
class WindowRun {
public:
    WindowRun(std::unique_ptr<PreparedWindow> prepared, const exchange::ExchangePlace& place,
              const resampling::ResamplingRule& rule, std::int32_t replicatesPerShare, unsigned threads,
              FinishWindow finish, const std::atomic<int>* stop, familywise::ReplicateMinima* minima)
        : prepared_(std::move(prepared)),
          place_(place),
          rule_(rule),
          replicatesPerShare_(replicatesPerShare),
          finish_(std::move(finish)),
          stop_(stop),
          minima_(minima) {
        stock_.reserve(threads);
    }

    // Begins the batch that ends at replicate `end`; returns its number of shares.
    std::size_t beginBatch(std::int32_t end) {
        batchEnd_ = end;
        const auto shares =
            static_cast<std::size_t>((std::int64_t{end} - done_ + replicatesPerShare_ - 1) / replicatesPerShare_);
        shareScores_.assign(shares, statistics::FiveStatistics{});
        sharesLeft_.store(shares, std::memory_order_relaxed);
        if (minima_ && done_ == 0) firstBatch_.resize(static_cast<std::size_t>(end));
        return shares;
    }

    // Scores share `share` of the batch; true when it is the last to end.
    bool scoreShare(std::size_t share) {
        const std::int32_t first = done_ + static_cast<std::int32_t>(share) * replicatesPerShare_;
        const std::int32_t last =
            static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{first} + replicatesPerShare_, batchEnd_));
        std::unique_ptr<resampling::ReplicateBuffers> buffers = takeBuffers();
        statistics::FiveStatistics* kept = firstBatch_.empty() ? nullptr : firstBatch_.data() + first;
        shareScores_[share] =
            resampling::scoreReplicates(*prepared_->model, prepared_->observed, first, last, *buffers, stop_, kept);
        giveBack(std::move(buffers));
        return sharesLeft_.fetch_sub(1, std::memory_order_acq_rel) == 1;
    }

    // Ends the batch: returns where the next one ends, or 0 when the window
    // is finished.
    std::int32_t endBatch() {
        for (const statistics::FiveStatistics& part : shareScores_) {
            for (std::size_t s = 0; s < sums_.size(); ++s) sums_[s] += part[s];
        }
        done_ = batchEnd_;
        const bool stopped = stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0;
        if (!firstBatch_.empty() && !stopped) foldFirstBatch();
        const std::int32_t next = stopped ? done_ : resampling::nextBatchEnd(rule_, done_, sums_);
        if (next > done_) return next;
        WindowResult result = takeResult(*prepared_, done_, resampling::pValuesOf(sums_, done_));
        if (minima_) {
            result.tailHaplotypes = haplotypes_;
            result.observedDepths = familywise::referenceDepths(result.statistics, haplotypes_);
        }
        prepared_.reset();
        finish_(std::move(result));
        return 0;
    }

private:
    // The window's replicates are kept only until they are folded.
    void foldFirstBatch() {
        haplotypes_ = statistics::countHaplotypesInSums(*prepared_->model);
        minima_->fold(haplotypes_, firstBatch_);
        std::vector<statistics::FiveStatistics>().swap(firstBatch_);
    }

    std::unique_ptr<resampling::ReplicateBuffers> takeBuffers() {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            if (!stock_.empty()) {
                std::unique_ptr<resampling::ReplicateBuffers> buffers = std::move(stock_.back());
                stock_.pop_back();
                return buffers;
            }
        }
        return std::make_unique<resampling::ReplicateBuffers>(*prepared_->model, place_);
    }

    void giveBack(std::unique_ptr<resampling::ReplicateBuffers> buffers) {
        const std::lock_guard<std::mutex> hold(lock_);
        stock_.push_back(std::move(buffers));
    }

    std::unique_ptr<PreparedWindow> prepared_;
    const exchange::ExchangePlace place_;
    const resampling::ResamplingRule rule_;
    const std::int32_t replicatesPerShare_;
    FinishWindow finish_;
    const std::atomic<int>* stop_;
    familywise::ReplicateMinima* const minima_;
    std::vector<statistics::FiveStatistics> firstBatch_;  // its replicates' statistics, until folded
    familywise::HaplotypesInSums haplotypes_{};

    std::int32_t done_ = 0;      // replicates of the batches ended
    std::int32_t batchEnd_ = 0;  // of the batch under way
    statistics::FiveStatistics sums_{};
    std::vector<statistics::FiveStatistics> shareScores_;  // per share of the batch under way
    std::atomic<std::size_t> sharesLeft_{0};

    std::mutex lock_;
    std::vector<std::unique_ptr<resampling::ReplicateBuffers>> stock_;
};

// Runs the window's batches from the one ending at `end` for as long as
// this thread ends them.
void runBatches(const std::shared_ptr<WindowRun>& run, std::int32_t end, parallel::TaskPool& pool) {
    for (; end > 0; end = run->endBatch()) {
        const std::size_t shares = run->beginBatch(end);
        for (std::size_t share = shares; share-- > 1;) {
            pool.submit(
                [run, share, &pool] {
                    if (run->scoreShare(share)) runBatches(run, run->endBatch(), pool);
                },
                parallel::TaskPool::Place::front);
        }
        if (!run->scoreShare(0)) return;
    }
}

}  // namespace

void scoreWindow(std::unique_ptr<PreparedWindow> prepared, const exchange::ExchangePlace& place,
                 const resampling::ResamplingRule& rule, std::int32_t firstBatchEnd, parallel::TaskPool& pool,
                 FinishWindow finish, const std::atomic<int>* stop, familywise::ReplicateMinima* minima) {
    const std::int32_t perShare =
        pool.size() > 1 ? resampling::replicatesPerTask(*prepared->model) : std::numeric_limits<std::int32_t>::max();
    auto run = std::make_shared<WindowRun>(std::move(prepared), place, rule, perShare, pool.size(), std::move(finish),
                                           stop, minima);
    runBatches(run, firstBatchEnd, pool);
}

}  // namespace triotdt::window
