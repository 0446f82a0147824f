// The decision kernel for processors with AVX-512.
#define DECISION_KERNEL_NAME decisionKernelAvx512
#include "exchange/decision_kernel.inc"
