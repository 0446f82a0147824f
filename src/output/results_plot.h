#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/staged_output.h"
#include "output/loci_table.h"
#include "statistics/five_statistics.h"
#include "window/window_result.h"

namespace triotdt::output {

// The statistic drawn unless another is asked for: Pem takes every family,
// weighting the phase resolutions of an ambiguous one by the EM estimate of
// the haplotype frequencies, the likeliest of the four sets. Punamb leaves
// ambiguous families out, and the other three weigh them by frequencies
// that ignore them (Pg), ignore frequency (Pe) or split each family evenly (Pc).
inline constexpr statistics::Statistic defaultPlotStatistic = statistics::Statistic::pem;

// The statistic named `name` as in the report header, in any case; none
// when no statistic has that name.
std::optional<statistics::Statistic> statisticNamed(std::string_view name);
// Why `name` names no statistic; empty when it names one.
std::string plotStatisticProblem(const std::string& name);

// A chromosome of the figure. Chromosomes stand side by side on one x axis,
// in the order given, each as wide as its share of the loci's extent.
struct FigureChromosome {
    std::string name;  // empty when the loci are only numbered
    double first = 1;  // the x of its first and last locus: the position, or the locus number
    double last = 1;
    // Loci named on the axis (marker names, or locus numbers), when so few
    // that their names fit; otherwise the axis has ticks of round values.
    std::vector<std::pair<double, std::string>> namedLoci;
};

// What the figure shows, fixed before the first window: the p-values of one
// statistic along one chromosome for a run, several side by side for a genome.
struct FigureScope {
    std::vector<FigureChromosome> chromosomes;
    bool byPosition = false;  // x is the base-pair position, shown in Mb; else the locus number
    statistics::Statistic statistic = defaultPlotStatistic;
};

// Where a window stands: its chromosome (by place in the scope) and the x of
// its first and last locus; it is drawn at their middle.
struct WindowPlace {
    std::size_t chromosome = 0;
    double first = 1;
    double last = 1;
};

// The figure of a run's `statistic`, its x axis the positions of `loci`
// (tdtloci.tsv) when they increase along one chromosome, the locus numbers
// 1 to `lociCount` otherwise.
FigureScope runFigureScope(const std::vector<LocusRow>& loci, std::int32_t lociCount, statistics::Statistic statistic);

// Where `window` of a run stands on the axis of runFigureScope(loci, ...).
WindowPlace runWindowPlace(const window::WindowResult& window, const std::vector<LocusRow>& loci,
                           const FigureScope& scope);

// The figure of a run, or of several side by side, as one self-contained SVG
// document, built from the windows as they come, in memory bounded by the
// drawing grid rather than by the number of windows: a panel per window
// size, -log10 p of the scope's statistic as points at the windows' places
// (a colour for each size; a genome's chromosomes alternate with grey),
// lines at p = 0.05, at the Bonferroni threshold 0.05 / (windows analysed)
// where the replicates can reach it, and at the genome-wide line when given,
// a legend, and the QQ panel of the p-values (qq_plot.h). Few windows are
// joined by lines; many are thinned to what can be seen (figure_marks.h). A
// p-value of 0 has no finite -log10: it is drawn as a triangle at
// p = 1 / (2 × replicates), the smallest p-value above 0 the replicates give
// (a tie counts one half).
class ResultsFigure {
public:
    explicit ResultsFigure(FigureScope scope);
    ResultsFigure(ResultsFigure&&) noexcept;
    ResultsFigure& operator=(ResultsFigure&&) noexcept;
    ~ResultsFigure();

    const FigureScope& scope() const;

    // The next window, at `place`; the windows of a size come in the order
    // of the axis. A skipped window is not drawn: the lines break there.
    // With its family-wise p-values (a genome's windows), a window whose
    // family-wise p of the statistic is at most 0.05 is ringed as well.
    void add(const window::WindowResult& window, const WindowPlace& place);

    // Rings `window`, added before, when its family-wise p of the statistic
    // is at most 0.05: the family-wise p-values of a run are known only after
    // its last window. The rings are kept one per cell of the drawing grid.
    void ringFamilyWise(const window::WindowResult& window, const WindowPlace& place);

    // The genome-wide line, at −log10 p = `minusLog10P`: where the
    // family-wise p of a window reaches 0.05 (familywise_outputs.h).
    void setGenomeWideLine(double minusLog10P);

    // The genomic inflation factor of the p-values drawn (qq_plot.h); none
    // without a window analysed.
    std::optional<double> inflation() const;

    std::string draw() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The console line that gives the inflation factor of the figure's
// p-values; empty without a window analysed.
std::string inflationLine(const ResultsFigure& figure);

// Why `path` cannot name the figure, which is SVG: it must end in .svg, in
// any case; empty when it can.
std::string figurePathProblem(const std::string& path);

// Writes the table's last bytes and the figure, both in full (and
// `alongside`, another output of the run, when given), and only then gives
// each its name, so that none can pass for complete while another failed.
void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            const ResultsFigure* drawn, io::StagedOutput* alongside = nullptr);

}  // namespace triotdt::output
