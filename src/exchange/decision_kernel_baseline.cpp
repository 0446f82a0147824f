// The decision kernel for any x86-64 processor or other.
#define DECISION_KERNEL_NAME decisionKernelBaseline
#define DECISION_KERNEL_SLOTS
#include "exchange/decision_kernel.inc"
