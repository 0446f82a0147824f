#include "dispatch/kernel_dispatch.h"

namespace triotdt::dispatch {
namespace {

std::array<bool, vectorUnitCount> askProcessor() {
    std::array<bool, vectorUnitCount> supported{};
    supported[static_cast<std::size_t>(VectorUnit::baseline)] = true;
#if defined(TRIOTDT_X86_VECTOR_UNITS)
    supported[static_cast<std::size_t>(VectorUnit::avx2)] = __builtin_cpu_supports("avx2");
    supported[static_cast<std::size_t>(VectorUnit::avx512)] = __builtin_cpu_supports("avx512f");
#endif
    return supported;
}

}  // namespace

bool runs(VectorUnit unit) {
    static const std::array<bool, vectorUnitCount> supported = askProcessor();
    return supported[static_cast<std::size_t>(unit)];
}

const char* nameOf(VectorUnit unit) {
    static constexpr std::array<const char*, vectorUnitCount> names = {"baseline", "avx2", "avx512"};
    return names[static_cast<std::size_t>(unit)];
}

}  // namespace triotdt::dispatch
