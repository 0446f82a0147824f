#include "exchange/run_stream.h"

#include <algorithm>
#include <span>
#include <stdexcept>

#include "exchange/stream_position.h"

namespace triotdt::exchange {
namespace {

std::uint64_t firstDrawOf(const ExchangePlace& place, std::int32_t replicate) {
    const auto families = static_cast<std::uint64_t>(std::max(place.familyCount, 0));
    const auto replicates = static_cast<std::uint64_t>(std::max(place.replicateCount, 0));
    return (static_cast<std::uint64_t>(place.windowIndex) * replicates + static_cast<std::uint64_t>(replicate)) *
           families;
}

}  // namespace

RunStream::RunStream(const ExchangePlace& place) : place_(place) {}

void RunStream::fill(std::int32_t first, std::int32_t replicates, ExchangeBlock& block) {
    if (first < 0 || replicates < 0 || replicates > place_.replicateCount - first) {
        throw std::logic_error("run stream: replicates outside the window's");
    }
    if (first != next_) batches_.emplace(generatorAfter(firstDrawOf(place_, first)));
    next_ = first + replicates;
    const auto families = static_cast<std::size_t>(std::max(place_.familyCount, 0));
    block.replicates = replicates;
    block.wordsPerReplicate = ExchangeBits::wordsFor(families);
    block.words.resize(static_cast<std::size_t>(replicates) * block.wordsPerReplicate);
    for (std::int32_t r = 0; r < replicates; ++r) {
        batches_->draw(std::span(block.words)
                           .subspan(static_cast<std::size_t>(r) * block.wordsPerReplicate, block.wordsPerReplicate),
                       families);
    }
}

}  // namespace triotdt::exchange
