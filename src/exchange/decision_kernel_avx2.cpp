// The decision kernel for processors with AVX2.
#define DECISION_KERNEL_NAME decisionKernelAvx2
#include "exchange/decision_kernel.inc"
