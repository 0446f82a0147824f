#include "exchange/exchange_source.h"

#include <algorithm>

namespace triotdt::exchange {

ExchangeSource exchangeSource(const ExchangePlace& place) {
    if (place.counterSeed) return CounterStream(place);
    return RunStream(place);
}

void fillExchanges(ExchangeSource& source, std::int32_t first, std::int32_t replicates, ExchangeBlock& block) {
    std::visit([&](auto& alternative) { alternative.fill(first, replicates, block); }, source);
}

std::int32_t replicatesPerBlock(const ExchangePlace& place) {
    constexpr std::int64_t bitsPerBlock = std::int64_t{1} << 20;
    const std::int64_t fit = bitsPerBlock / std::max<std::int64_t>(place.familyCount, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(fit, 1, std::max(place.replicateCount, 1)));
}

}  // namespace triotdt::exchange
