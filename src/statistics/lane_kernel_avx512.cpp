// The lane kernel for processors with AVX512.
#define LANE_KERNEL_NAME laneKernelAvx512
#include "statistics/lane_kernel.inc"
