#include "exchange/counter_stream.h"

#include <Random123/philox.h>

#include <algorithm>
#include <stdexcept>

namespace triotdt::exchange {

PhiloxWords philox(const PhiloxWords& counter, const PhiloxKey& key) {
    using Generator = r123::Philox4x32_R<10>;
    const Generator::ctr_type words =
        Generator()({{counter[0], counter[1], counter[2], counter[3]}}, {{key[0], key[1]}});
    return {words[0], words[1], words[2], words[3]};
}

CounterStream::CounterStream(const ExchangePlace& place)
    : familyCount_(std::max(place.familyCount, 0)),
      key_{static_cast<std::uint32_t>(place.counterSeed.value()),
           static_cast<std::uint32_t>(*place.counterSeed >> 32)} {}

void CounterStream::fill(std::int32_t first, std::int32_t replicates, ExchangeBlock& block) const {
    if (first < 0 || replicates < 0) throw std::logic_error("counter stream: a replicate before the first");
    const auto families = static_cast<std::size_t>(familyCount_);
    const std::size_t words = ExchangeBits::wordsFor(families);
    block.replicates = replicates;
    block.wordsPerReplicate = words;
    block.words.resize(static_cast<std::size_t>(replicates) * words);
    // The bits beyond the last family are cleared, as every source leaves them.
    const std::size_t lastBits = families % ExchangeBits::familiesPerWord;
    const std::uint64_t lastMask = lastBits == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << lastBits) - 1;
    for (std::int32_t r = 0; r < replicates; ++r) {
        const auto replicate = static_cast<std::uint64_t>(first) + static_cast<std::uint64_t>(r);
        std::uint64_t* out = block.words.data() + static_cast<std::size_t>(r) * words;
        for (std::size_t w = 0; w < words; w += 2) {
            const PhiloxWords x =
                philox({static_cast<std::uint32_t>(replicate), static_cast<std::uint32_t>(replicate >> 32),
                        static_cast<std::uint32_t>(w / 2), 0},
                       key_);
            out[w] = x[0] | std::uint64_t{x[1]} << 32;
            if (w + 1 < words) out[w + 1] = x[2] | std::uint64_t{x[3]} << 32;
        }
        if (words > 0) out[words - 1] &= lastMask;
    }
}

}  // namespace triotdt::exchange
