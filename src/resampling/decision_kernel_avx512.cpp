// The decision kernel for processors with AVX-512.
#define DECISION_KERNEL_NAME decisionKernelAvx512
#include "resampling/decision_kernel.inc"
