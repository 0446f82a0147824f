#include "shard/merge_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "driver/interruption.h"
#include "io/file_descriptor.h"
#include "io/file_names.h"
#include "io/file_text.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/staged_output.h"
#include "output/familywise_outputs.h"
#include "output/figure_options.h"
#include "output/loci_table.h"
#include "output/results_plot.h"
#include "output/results_table.h"
#include "report/reports.h"
#include "report/window_lines.h"
#include "shard/manifest.h"
#include "shard/shard_parts.h"

namespace triotdt::shard {
namespace {

using io::resultFileName;
using io::transmissionFileName;

struct Shard {
    std::string folder;
    Manifest manifest;

    std::string path(const std::string& part) const { return folder + "/" + part; }
    std::string name() const {
        return "shard " + std::to_string(manifest.shard.index) + " of " + std::to_string(manifest.shard.count) + " ('" +
               folder + "')";
    }
    const PartRecord* findPart(const std::string& part) const {
        for (const PartRecord& record : manifest.parts) {
            if (record.name == part) return &record;
        }
        return nullptr;
    }
};

[[noreturn]] void refuse(const std::string& why) {
    throw io::InputRefused("triotdt merge: " + why + "; nothing was written\n");
}

Shard readShard(const std::string& folder) {
    const std::string path = folder + "/" + manifestName;
    if (::access(folder.c_str(), F_OK) != 0) refuse("shard folder '" + folder + "' does not exist");
    if (::access(path.c_str(), F_OK) != 0) {
        refuse("shard folder '" + folder + "' has no " + manifestName + ": that shard did not finish (run it again)");
    }
    return Shard{folder, parseManifest(io::readFileText(path), path)};
}

std::string describeInput(const Manifest& manifest) {
    const auto describe = [](const char* name, const FileSum& sum) {
        return std::string(name) + " of " + std::to_string(sum.byteCount) + " bytes, checksum " +
               hexChecksum(sum.checksum);
    };
    std::string text = describe("tdtinput.dat", manifest.input);
    if (manifest.sexes) text += ", " + describe("tdtsex.tsv", *manifest.sexes);
    return text;
}

// Every shard must come from the same input, shard count and program version.
void checkSameRun(const std::vector<Shard>& shards) {
    const Shard& first = shards.front();
    for (const Shard& shard : shards) {
        const Manifest& m = shard.manifest;
        if (m.version != programVersion()) {
            refuse(shard.name() + " was written by triotdt " + m.version + ", this is triotdt " + programVersion());
        }
        if (m.input != first.manifest.input || m.sexes != first.manifest.sexes ||
            m.lociCount != first.manifest.lociCount) {
            refuse(shard.name() + " belongs to another input (" + describeInput(m) + ") than " + first.name() + " (" +
                   describeInput(first.manifest) + ")");
        }
        if (m.sizes != first.manifest.sizes || m.rule != first.manifest.rule) {
            const auto options = [](const Manifest& manifest) {
                const std::string given = describeOptions(manifest);
                return given.empty() ? std::string("without --window-sizes, --seed, --adaptive or --family-wise")
                                     : "with " + given;
            };
            refuse(shard.name() + " was run " + options(m) + ", " + first.name() + " " + options(first.manifest) +
                   ": the shards of a run must be run with the same options");
        }
        if (m.shard.count != first.manifest.shard.count) {
            refuse(shard.name() + " is one of " + std::to_string(m.shard.count) + " shards, " + first.name() +
                   " one of " + std::to_string(first.manifest.shard.count));
        }
    }
}

// Puts the shards in order 1..N: each once, none missing.
std::vector<Shard> orderShards(std::vector<Shard> shards) {
    const std::int32_t count = shards.front().manifest.shard.count;
    std::map<std::int32_t, Shard*> byIndex;
    for (Shard& shard : shards) {
        const auto [at, added] = byIndex.emplace(shard.manifest.shard.index, &shard);
        if (!added)
            refuse("shard " + std::to_string(at->first) + " of " + std::to_string(count) + " is given twice: '" +
                   at->second->folder + "' and '" + shard.folder + "'");
    }
    std::string missing;
    for (std::int32_t k = 1; k <= count; ++k) {
        if (byIndex.count(k) == 0) missing += (missing.empty() ? "" : ", ") + std::to_string(k);
    }
    if (!missing.empty()) refuse("shard(s) " + missing + " of " + std::to_string(count) + " missing");
    std::vector<Shard> ordered;
    for (auto& [index, shard] : byIndex) ordered.push_back(std::move(*shard));
    return ordered;
}

// Together, in order, the shards' windows of each size must run from the
// first start to the last without a gap or an overlap.
void checkCoverage(const std::vector<Shard>& shards) {
    const std::int32_t lociCount = shards.front().manifest.lociCount;
    for (std::int32_t size = 1; size <= window::largestWindowSize(lociCount); ++size) {
        if (!shards.front().manifest.sizes.contains(size)) continue;
        std::int32_t next = 1;
        for (const Shard& shard : shards) {
            const window::WindowSpan& span = shard.manifest.windows[static_cast<std::size_t>(size - 1)];
            if (span.windowCount() == 0) continue;
            if (span.firstStart != next) {
                refuse(shard.name() + " begins the windows of " + std::to_string(size) + " loci at locus " +
                       std::to_string(span.firstStart) + ", where locus " + std::to_string(next) +
                       " was due: the shards do not cover every window exactly once");
            }
            next = span.lastStart + 1;
        }
        if (next != lociCount - size + 2) {
            refuse("the windows of " + std::to_string(size) + " loci from locus " + std::to_string(next) +
                   " on are in no shard");
        }
    }
}

// The parts a shard must list; the loci table is optional.
std::vector<std::string> requiredParts(const Manifest& manifest) {
    std::vector<std::string> names{preambleName};
    for (std::int32_t size = 1; size <= window::largestWindowSize(manifest.lociCount); ++size) {
        for (const PartKind kind : partKinds) names.push_back(partName(kind, size));
    }
    if (manifest.rule.familyWise) names.push_back(familyWisePartName);
    return names;
}

void checkParts(const Shard& shard) {
    for (const std::string& name : requiredParts(shard.manifest)) {
        if (!shard.findPart(name)) refuse(shard.name() + ": its manifest lists no part " + name);
    }
    for (const PartRecord& part : shard.manifest.parts) {
        const std::string path = shard.path(part.name);
        if (::access(path.c_str(), F_OK) != 0) refuse(shard.name() + ": part " + part.name + " is missing");
        const FileSum found = sumFile(path);
        if (found.byteCount != part.sum.byteCount) {
            refuse(shard.name() + ": part " + part.name + " has " + std::to_string(found.byteCount) +
                   " bytes, its manifest says " + std::to_string(part.sum.byteCount) +
                   (found.byteCount < part.sum.byteCount ? " (truncated)" : ""));
        }
        if (found.checksum != part.sum.checksum) {
            refuse(shard.name() + ": part " + part.name + " has changed since the shard wrote it (checksum " +
                   hexChecksum(found.checksum) + ", its manifest says " + hexChecksum(part.sum.checksum) + ")");
        }
    }
}

// Parts that every shard holds alike (the console preamble, the loci table)
// are taken from the first shard; a shard that differs is not of this run.
void checkSharedParts(const std::vector<Shard>& shards) {
    for (const char* name : {preambleName, lociCopyName}) {
        const PartRecord* first = shards.front().findPart(name);
        for (const Shard& shard : shards) {
            const PartRecord* part = shard.findPart(name);
            if ((part == nullptr) != (first == nullptr) || (part && part->sum != first->sum)) {
                refuse(shard.name() + ": its " + name + " differs from that of " + shards.front().name());
            }
        }
    }
}

// The family-wise minima of the whole run: every shard's, folded together;
// their heads must agree, as shards of one input and options do.
output::FamilyWiseFile foldFamilyWise(const std::vector<Shard>& shards) {
    output::FamilyWiseFile whole = output::readFamilyWiseFile(shards.front().path(familyWisePartName));
    for (const Shard& shard : shards) {
        const output::FamilyWiseFile part = output::readFamilyWiseFile(shard.path(familyWisePartName));
        if (!(part.head == whole.head)) {
            refuse(shard.name() + ": its " + familyWisePartName + " differs from that of " + shards.front().name() +
                   " in its head");
        }
        familywise::foldMinima(whole.minima, part.minima);
    }
    return whole;
}

void refuseExisting(const std::string& path) {
    if (!path.empty() && ::access(path.c_str(), F_OK) == 0) {
        throw io::RunError(io::ErrorCode::fileExists, "OPEN of file '" + path + "'", "file already exists");
    }
}

// Appends a part to `unit` in pieces, writing as it goes.
void appendPart(io::OutputUnit& unit, const std::string& path) {
    io::readPieces(path, [&](std::string_view piece) {
        unit.text() += piece;
        unit.flushIfLarge();
    });
}

// Appends the parts of `shard` for windows of `size` to the reports and the
// console, to the table when there is one, and its rows, one at a time, to
// the figure when there is one, placed by `loci`.
// With family-wise p-values the table's rows are written at the end, from
// the table parts listed in `rowFiles`.
void appendParts(const Shard& shard, std::int32_t size, const report::ReportUnits& units,
                 std::optional<io::StagedOutput>& table, output::ResultsFigure* figure,
                 const std::vector<output::LocusRow>& loci, std::vector<std::string>* rowFiles) {
    appendPart(*units.transmission, shard.path(partName(PartKind::transmission, size)));
    appendPart(*units.results, shard.path(partName(PartKind::results, size)));
    appendPart(*units.console, shard.path(partName(PartKind::console, size)));
    const std::string tablePart = shard.path(partName(PartKind::table, size));
    if (rowFiles) {
        rowFiles->push_back(tablePart);
    } else if (table) {
        appendPart(table->unit(), tablePart);
    }
    if (figure) {
        output::readTableFile(tablePart, [&](const window::WindowResult& w) {
            figure->add(w, output::runWindowPlace(w, loci, figure->scope()));
        });
    }
}

void writeMerged(const std::vector<Shard>& shards, const MergeOptions& options,
                 const std::optional<output::FamilyWiseFile>& familyWise) {
    const Shard& first = shards.front();
    std::vector<output::LocusRow> loci;
    if (first.findPart(lociCopyName) && (!options.tablePath.empty() || !options.plotPath.empty())) {
        loci = output::readLociTable(first.path(lociCopyName));
    }
    // As in a run: the table and the figure first, under temporary names.
    std::optional<io::StagedOutput> table, plot;
    if (!options.tablePath.empty()) {
        table.emplace(options.tableOnStandardOutput ? io::StagedOutput::standardOutput()
                                                    : io::StagedOutput::beside(options.tablePath, "\n"));
        output::appendTableHeader(table->unit().text(), first.manifest.rule);
    }
    if (!options.plotPath.empty()) plot.emplace(io::StagedOutput::beside(options.plotPath, "\n"));
    std::optional<io::StagedOutput> familyWiseFile;
    std::vector<std::string> rowFiles;
    if (familyWise) familyWiseFile.emplace(io::StagedOutput::beside(output::familyWiseFileName, "\n"));
    io::OutputUnit console =
        options.tableOnStandardOutput ? io::OutputUnit::standardError() : io::OutputUnit::console();
    io::OutputUnit transmission = io::OutputUnit::createNew(transmissionFileName, "\r\n");
    io::OutputUnit results = io::OutputUnit::createNew(resultFileName, "\r\n");

    // Where the merge stands, for the reports' last line when a signal stops
    // it: a shard's parts of one size at a time, so the reports end alike.
    driver::RunInterrupted progress;
    progress.windowCount =
        window::countWindows(window::everyWindow(first.manifest.lociCount, first.manifest.sizes).spans);
    const report::ReportUnits units{&console, &transmission, &results};
    std::optional<output::ResultsFigure> figure;
    if (plot) {
        figure.emplace(output::runFigureScope(loci, first.manifest.lociCount,
                                              options.plotStatistic.value_or(output::defaultPlotStatistic)));
    }
    const auto inheritance = first.manifest.sexes ? haplotype::Inheritance::xLinked : haplotype::Inheritance::autosomal;
    try {
        appendPart(console, first.path(preambleName));
        for (std::int32_t size = 1; size <= window::largestWindowSize(first.manifest.lociCount); ++size) {
            if (!first.manifest.sizes.contains(size)) continue;
            for (const Shard& shard : shards) {
                driver::stopIfInterrupted(progress);
                if (&shard == &first) report::writeSizeHeadings(units, size, inheritance);
                appendParts(shard, size, units, table, figure ? &*figure : nullptr, loci,
                            familyWise ? &rowFiles : nullptr);
                console.flush();
                const window::WindowSpan& span = shard.manifest.windows[static_cast<std::size_t>(size - 1)];
                if (span.windowCount() == 0) continue;
                progress.windowsDone += span.windowCount();
                progress.lastStart = span.lastStart;
                progress.lastSize = size;
            }
        }
    } catch (const driver::RunInterrupted& stopped) {
        driver::markInterrupted({&transmission, &results}, stopped);
        throw;
    }
    transmission.finish();
    results.finish();
    std::string lines = figure ? output::inflationLine(*figure) : std::string();
    if (familyWise) {
        output::SignificantWindows significant;
        if (figure) output::drawGenomeWideLine(*figure, familyWise->minima);
        output::completeFamilyWise(familyWise->head, familyWise->minima, rowFiles, loci, *familyWiseFile,
                                   table ? &*table : nullptr, significant, figure ? &*figure : nullptr);
        lines += significant.lines(familyWise->head.replicateCount);
    }
    output::completeTableAndFigure(table, plot, figure ? &*figure : nullptr,
                                   familyWiseFile ? &*familyWiseFile : nullptr);
    console.text() += lines;
    report::writeStopLine(console);
    console.flush();
}

}  // namespace

void addMergeOptions(CLI::App& command, MergeOptions& options) {
    command.description("Put the shards of a run together: the reports, console, table and figure of the whole run");
    command.add_option("SHARD_DIR", options.folders, "The folders of all shards of the run, in any order")
        ->required()
        ->type_name("DIR...");
    command.add_option("--table", options.tablePath, "Also write the results as a tab-separated table")
        ->type_name("FILE");
    output::addFigureOptions(command, options.plotPath, options.plotStatistic,
                             "Also draw the p-values as an SVG figure");
}

void runMerge(const MergeOptions& options) {
    if (options.folders.empty()) refuse("no shard folders given");
    std::vector<Shard> shards;
    for (const std::string& folder : options.folders) shards.push_back(readShard(folder));
    checkSameRun(shards);
    shards = orderShards(std::move(shards));
    checkCoverage(shards);
    for (const Shard& shard : shards) checkParts(shard);
    checkSharedParts(shards);
    std::optional<output::FamilyWiseFile> familyWise;
    if (shards.front().manifest.rule.familyWise) familyWise = foldFamilyWise(shards);
    for (const char* report : {transmissionFileName, resultFileName}) refuseExisting(report);
    if (familyWise) refuseExisting(output::familyWiseFileName);
    writeMerged(shards, options, familyWise);
}

}  // namespace triotdt::shard
