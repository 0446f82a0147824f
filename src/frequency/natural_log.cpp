#include "frequency/natural_log.h"

#include <bit>
#include <cstdint>
#include <limits>

namespace triotdt::frequency {
namespace {

constexpr double ln2High = 6.93147180369123816490e-01;
constexpr double ln2Low = 1.90821492927058770002e-10;
constexpr double two54 = 1.80143985094819840000e+16;
// log(1 + f) = log(1 + s) − log(1 − s) with s = f / (2 + f), a series in s².
constexpr double lg1 = 6.666666666666735130e-01;
constexpr double lg2 = 3.999999999940941908e-01;
constexpr double lg3 = 2.857142874366239149e-01;
constexpr double lg4 = 2.222219843214978396e-01;
constexpr double lg5 = 1.818357216161805012e-01;
constexpr double lg6 = 1.531383769920937332e-01;
constexpr double lg7 = 1.479819860511658591e-01;

std::int32_t highWord(double x) { return static_cast<std::int32_t>(std::bit_cast<std::uint64_t>(x) >> 32); }
std::uint32_t lowWord(double x) { return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x)); }

double withHighWord(double x, std::int32_t high) {
    const std::uint64_t bits = (std::uint64_t{static_cast<std::uint32_t>(high)} << 32) | lowWord(x);
    return std::bit_cast<double>(bits);
}

}  // namespace

double naturalLog(double x) {
    std::int32_t high = highWord(x);
    std::int32_t k = 0;
    if (high < 0x00100000) {  // x below 2^-1022: zero, negative or subnormal
        if (((high & 0x7fffffff) | static_cast<std::int32_t>(lowWord(x))) == 0) {
            return -std::numeric_limits<double>::infinity();
        }
        if (high < 0) return std::numeric_limits<double>::quiet_NaN();
        k -= 54;
        x *= two54;
        high = highWord(x);
    }
    if (high >= 0x7ff00000) return x + x;  // infinity or NaN
    k += (high >> 20) - 1023;
    high &= 0x000fffff;
    // x = 2^k × m with m in [sqrt(2)/2, sqrt(2)).
    const std::int32_t i = (high + 0x95f64) & 0x100000;
    x = withHighWord(x, high | (i ^ 0x3ff00000));
    k += i >> 20;
    const double f = x - 1.0;
    const double dk = static_cast<double>(k);
    if ((0x000fffff & (2 + high)) < 3) {  // |f| below 2^-20
        if (f == 0.0) return k == 0 ? 0.0 : dk * ln2High + dk * ln2Low;
        const double r = f * f * (0.5 - 0.33333333333333333 * f);
        return k == 0 ? f - r : dk * ln2High - ((r - dk * ln2Low) - f);
    }
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double t1 = w * (lg2 + w * (lg4 + w * lg6));
    const double t2 = z * (lg1 + w * (lg3 + w * (lg5 + w * lg7)));
    const double r = t2 + t1;
    if (((high - 0x6147a) | (0x6b851 - high)) > 0) {
        const double halfSquare = 0.5 * f * f;
        return k == 0 ? f - (halfSquare - s * (halfSquare + r))
                      : dk * ln2High - ((halfSquare - (s * (halfSquare + r) + dk * ln2Low)) - f);
    }
    return k == 0 ? f - s * (f - r) : dk * ln2High - ((s * (f - r) - dk * ln2Low) - f);
}

}  // namespace triotdt::frequency
