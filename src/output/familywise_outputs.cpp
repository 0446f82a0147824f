#include "output/familywise_outputs.h"

#include <algorithm>
#include <cstdio>

#include "output/results_table.h"

namespace triotdt::output {
namespace {

constexpr std::size_t windowsListed = 10;

std::string pText(double p) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", p);
    return text;
}

}  // namespace

SignificantWindows::SignificantWindows(double alpha) : alpha_(alpha) {}

void SignificantWindows::add(const window::WindowResult& window, const std::string& label) {
    if (window.skipped || !window.familyWisePValues) return;
    const std::int64_t order = analysed_++;
    const auto before = [](const Entry& a, const Entry& b) { return a.p != b.p ? a.p < b.p : a.order < b.order; };
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        const Entry entry{(*window.familyWisePValues)[s], order, label};
        if (!best_[s] || before(entry, *best_[s])) best_[s] = entry;
        if (!(entry.p <= alpha_)) continue;
        ++counts_[s];
        std::vector<Entry>& kept = smallest_[s];
        if (kept.size() == windowsListed && !before(entry, kept.back())) continue;
        if (kept.size() == windowsListed) kept.pop_back();
        kept.insert(std::upper_bound(kept.begin(), kept.end(), entry, before), entry);
    }
}

std::string SignificantWindows::lines(std::int32_t replicateCount) const {
    std::string text = "Family-wise p-values (single-step maxT over " + std::to_string(analysed_) +
                       (analysed_ == 1 ? " window" : " windows") + " and " + std::to_string(replicateCount) +
                       (replicateCount == 1 ? " replicate" : " replicates") + "), windows at most " + pText(alpha_) +
                       ":\n";
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        text += std::string(statistics::statisticNames[s]) + ": ";
        if (counts_[s] == 0) {
            text += best_[s] ? "none (the smallest is " + pText(best_[s]->p) + ", at " + best_[s]->label + ")\n"
                             : "none (no window analysed)\n";
            continue;
        }
        if (counts_[s] > static_cast<std::int64_t>(smallest_[s].size())) {
            text += std::to_string(counts_[s]) + " windows, the " + std::to_string(smallest_[s].size()) + " smallest: ";
        }
        for (std::size_t i = 0; i < smallest_[s].size(); ++i) {
            text += (i == 0 ? "" : ", ") + smallest_[s][i].label + " " + pText(smallest_[s][i].p);
        }
        text += "\n";
    }
    return text;
}

std::string lociLabel(const window::WindowResult& window) {
    return std::to_string(window.start) + "-" + std::to_string(window.lastLocus());
}

void drawGenomeWideLine(ResultsFigure& figure, const familywise::MinimumTails& minima) {
    const double depth = familywise::FamilyWiseScale(minima).criticalDepth(figure.scope().statistic, 0.05);
    if (depth > 0) figure.setGenomeWideLine(depth);
}

void completeFamilyWise(const FamilyWiseHead& head, const familywise::MinimumTails& minima,
                        const std::vector<std::string>& rowFiles, const std::vector<LocusRow>& loci,
                        io::StagedOutput& file, io::StagedOutput* table, SignificantWindows& significant,
                        ResultsFigure* figure) {
    const familywise::FamilyWiseScale scale(minima);
    file.unit().text() += formatFamilyWiseHead(head, minima);
    for (const std::string& rows : rowFiles) {
        readTableFile(rows, [&](const window::WindowResult& read) {
            window::WindowResult window = read;
            if (!window.skipped)
                window.familyWisePValues = scale.adjustedPValues(window.observedDepths, window.pValues);
            appendTableRow(file.unit().text(), window, loci, head.rule, true);
            file.unit().flushIfLarge();
            if (table) {
                appendTableRow(table->unit().text(), window, loci, head.rule);
                table->unit().flushIfLarge();
            }
            significant.add(window, lociLabel(window));
            if (figure) figure->ringFamilyWise(window, runWindowPlace(window, loci, figure->scope()));
        });
    }
    file.unit().text() += familyWiseEnd;
    file.unit().finish();
}

}  // namespace triotdt::output
