#include "output/figure_math.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "frequency/natural_log.h"

namespace triotdt::output {
namespace {

constexpr double ln10 = 2.302585092994045684;

// Horner's rule over the coefficients, highest power first.
template <std::size_t N>
double polynomial(const std::array<double, N>& coefficients, double x) {
    double value = 0;
    for (const double c : coefficients) value = value * x + c;
    return value;
}

// The normal quantile of q in (0, 0.5] (Acklam), negative below 0.5.
double lowerNormalQuantile(double q) {
    constexpr std::array<double, 6> a = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                         1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    constexpr std::array<double, 6> b = {-5.447609879822406e+01, 1.615858368580409e+02,  -1.556989798598866e+02,
                                         6.680131188771972e+01,  -1.328068155288572e+01, 1.0};
    constexpr std::array<double, 6> c = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                         -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    constexpr std::array<double, 5> d = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                         3.754408661907416e+00, 1.0};
    if (q < 0.02425) {
        const double t = std::sqrt(-2 * frequency::naturalLog(q));
        return polynomial(c, t) / polynomial(d, t);
    }
    const double r = q - 0.5;
    return polynomial(a, r * r) * r / polynomial(b, r * r);
}

// ln P(Binomial(n, u) < i): n ln(1 - u) + ln of the sum over k < i of
// C(n, k) (u / (1 - u))^k, with its terms made one from the last and scaled
// down by 2^-900 (exactly) whenever they grow that large.
double logBinomialBelow(std::int64_t i, std::int64_t n, double u) {
    constexpr double scale = 0x1p-900;
    constexpr double lnScale = -900 * 0.6931471805599453094;
    const double ratio = u / (1 - u);
    double term = 1;
    double sum = 1;
    double scaled = 0;  // ln of the factor the sum was scaled by
    for (std::int64_t k = 0; k + 1 < i; ++k) {
        term *= static_cast<double>(n - k) / static_cast<double>(k + 1) * ratio;
        sum += term;
        if (sum > 0x1p900) {
            term *= scale;
            sum *= scale;
            scaled += lnScale;
        }
    }
    return static_cast<double>(n) * frequency::naturalLog(1 - u) + frequency::naturalLog(sum) - scaled;
}

}  // namespace

double minusLog10(double p) { return p >= 1 ? 0.0 : -frequency::naturalLog(p) / ln10; }

double chiSquareOfP(double p) {
    if (p >= 1) return 0;
    const double z = lowerNormalQuantile(p / 2);
    return z * z;
}

double uniformOrderQuantile(std::int64_t i, std::int64_t n, double q) {
    if (i > 200) {
        const double mean = static_cast<double>(i) / static_cast<double>(n + 1);
        const double sd = std::sqrt(mean * (1 - mean) / static_cast<double>(n + 2));
        const double z = q < 0.5 ? lowerNormalQuantile(q) : -lowerNormalQuantile(1 - q);
        return std::clamp(mean + z * sd, 0.0, 1.0);
    }
    // P(the i-th smallest <= u) = P(Binomial(n, u) >= i), which grows with u.
    const double target = frequency::naturalLog(1 - q);
    double low = 0;
    double high = 1;
    for (int step = 0; step < 200 && high - low > low * 1e-12; ++step) {
        const double middle = low / 2 + high / 2;
        (logBinomialBelow(i, n, middle) > target ? low : high) = middle;
    }
    return low / 2 + high / 2;
}

}  // namespace triotdt::output
