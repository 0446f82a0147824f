// The lane kernel for every x86-64 processor.
#define LANE_KERNEL_NAME laneKernelBaseline
#include "statistics/lane_kernel.inc"
