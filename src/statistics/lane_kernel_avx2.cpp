// The lane kernel for processors with AVX2.
#define LANE_KERNEL_NAME laneKernelAvx2
#include "statistics/lane_kernel.inc"
