#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace triotdt::parallel {

// Results that are finished in any order and taken in order 0, 1, 2, ...
// Result i has a place only while i < next + capacity, where `next` is the
// first one not yet taken: the producer starts job i only when `hasRoomFor(i)`,
// which bounds how many finished results wait at once. `put` may be called
// from any thread; `hasRoomFor`, `nextReady` and `takeNext` belong to the one
// thread that takes the results in order.
template <class Result>
class ReorderBuffer {
public:
    explicit ReorderBuffer(std::size_t capacity) : slots_(capacity > 0 ? capacity : 1) {}

    std::int64_t next() const { return next_; }
    bool hasRoomFor(std::int64_t index) const {
        return index >= next_ && index < next_ + static_cast<std::int64_t>(slots_.size());
    }

    void put(std::int64_t index, Result result) {
        std::lock_guard lock(mutex_);
        slots_[slotOf(index)].emplace(std::move(result));
    }

    bool nextReady() const {
        std::lock_guard lock(mutex_);
        return slots_[slotOf(next_)].has_value();
    }

    // Only when nextReady().
    Result takeNext() {
        std::lock_guard lock(mutex_);
        std::optional<Result>& slot = slots_[slotOf(next_)];
        Result result = std::move(*slot);
        slot.reset();
        ++next_;
        return result;
    }

private:
    std::size_t slotOf(std::int64_t index) const {
        return static_cast<std::size_t>(index % static_cast<std::int64_t>(slots_.size()));
    }

    mutable std::mutex mutex_;
    std::vector<std::optional<Result>> slots_;
    std::int64_t next_ = 0;
};

}  // namespace triotdt::parallel
