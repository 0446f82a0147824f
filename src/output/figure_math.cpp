#include "output/figure_math.h"

#include "frequency/natural_log.h"

namespace triotdt::output {

constexpr double ln10 = 2.302585092994045684;

double minusLog10(double p) { return p >= 1 ? 0.0 : -frequency::naturalLog(p) / ln10; }

}  // namespace triotdt::output
