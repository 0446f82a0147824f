#include "familywise/reference_tail.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "frequency/natural_log.h"

namespace triotdt::familywise {
namespace {

constexpr double ln10 = 2.302585092994045684;
constexpr double sqrtPi = 1.7724538509055160273;
constexpr double twoOverSqrtPi = 1.1283791670955125739;

// A sum of terms that can outgrow the doubles (y^j / j! near j = y for y
// of a thousand) is scaled down by 2^-900, exactly, whenever it passes 2^900.
constexpr double scaleAbove = 0x1p900;
constexpr double scaleBy = 0x1p-900;
constexpr double lnScale = 900 * 0.6931471805599453094;

// erfcx(z) = e^(z²) erfc(z) for z ≥ 0 as (1 + 2z)⁻¹ Σ' c_j T_j(t), the
// Chebyshev series in t = (z − K)/(z + K), K = 3.75, which maps [0, ∞) onto
// [−1, 1); the coefficients were fitted once at 60 digits (relative error
// of the result within 2 units in the last place).
constexpr double chebyshevK = 3.75;
constexpr std::array<double, 27> erfcxChebyshev = {
    1.1775789345674018,     -4.5900545806464773e-3,  -8.4249133366517916e-2,  5.920993999819189e-2,
    -2.6658668435305752e-2, 9.0749976707052651e-3,   -2.4131635404176082e-3,  4.9077583652580863e-4,
    -6.9169733025012064e-5, 4.1390279860730102e-6,   7.7403830661984907e-7,   -2.1886401049234396e-7,
    1.076499946567091e-8,   4.5219598112182869e-9,   -7.7544002088313511e-10, -6.3180883408866845e-11,
    2.8687950109306699e-11, 1.9455868545777347e-13,  -9.6546967484334389e-13, 3.2525481481487398e-14,
    3.3478119482868054e-14, -1.8645628804193131e-15, -1.2507950530688647e-15, 7.4182352566240435e-17,
    5.0681489047961113e-17, -2.2370566594359996e-18, -2.1873429443030177e-18};

double scaledErfc(double z) {
    const double t = (z - chebyshevK) / (z + chebyshevK);
    double next = 0;  // Clenshaw's recurrence, from the last coefficient
    double last = 0;
    for (std::size_t j = erfcxChebyshev.size() - 1; j >= 1; --j) {
        const double value = 2 * t * next - last + erfcxChebyshev[j];
        last = next;
        next = value;
    }
    return (t * next - last + erfcxChebyshev[0]) / (1 + 2 * z);
}

// The sum behind a tail, e^y × Q, and the logarithm of the factor it was
// scaled down by.
struct ScaledSum {
    double sum = 0;
    double lnScaledBy = 0;

    void add(double& term) {
        sum += term;
        if (sum > scaleAbove) {
            sum *= scaleBy;
            term *= scaleBy;
            lnScaledBy += lnScale;
        }
    }
};

}  // namespace

double chiSquareTailDepth(double x, std::int32_t degreesOfFreedom) {
    if (!(x > 0) || degreesOfFreedom < 1) return 0;
    const double y = x / 2;
    const std::int32_t m = degreesOfFreedom / 2;
    ScaledSum s;
    if (degreesOfFreedom % 2 == 0) {
        double term = 1;
        s.add(term);
        for (std::int32_t j = 1; j < m; ++j) {
            term *= y / j;
            s.add(term);
        }
    } else {
        const double z = std::sqrt(y);
        double erfcx = scaledErfc(z);
        s.add(erfcx);
        double term = twoOverSqrtPi * z;
        for (std::int32_t j = 1; j <= m; ++j) {
            if (j > 1) term *= y / (j - 0.5);
            s.add(term);
        }
    }
    // Q = e^−y × sum, so −ln Q = y − ln sum; never below 0, where rounding
    // could put a tail of nearly 1.
    return std::max(0.0, (y - (frequency::naturalLog(s.sum) + s.lnScaledBy)) / ln10);
}

double tailDepthBound(double x) {
    const double y = std::max(x, 0.0) / 2;
    const double z = std::sqrt(y);
    return (y + sqrtPi * (z + std::sqrt(y + 2)) / 2 - 1) / ln10;
}

double referenceValue(double statistic, std::int32_t haplotypes) {
    return static_cast<double>(haplotypes - 1) / haplotypes * statistic;
}

double referenceDepth(double statistic, std::int32_t haplotypes) {
    if (haplotypes <= 1) return 0;
    return chiSquareTailDepth(referenceValue(statistic, haplotypes), haplotypes - 1);
}

}  // namespace triotdt::familywise
