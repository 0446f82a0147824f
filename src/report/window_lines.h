#pragma once

#include <cstdint>

#include "io/output_unit.h"
#include "window/window_result.h"

namespace triotdt::report {

// Where the lines of windows go: the console and the two reports (or a
// shard's parts of them).
struct ReportUnits {
    io::OutputUnit* console = nullptr;
    io::OutputUnit* transmission = nullptr;
    io::OutputUnit* results = nullptr;
};

// The headings that open the windows of one size, on the console and in
// both reports; on X they say that the windows count mothers.
void writeSizeHeadings(const ReportUnits& units, std::int32_t size, haplotype::Inheritance inheritance);

// Every line of one window, in their order: on the console the note of a
// window of 500,000 haplotypes or more, of a skipped window or of an EM that
// did not settle; the window's block in tdttran.txt; its p-values and
// statistics in tdtout.txt and on the console.
void writeWindowLines(const ReportUnits& units, const window::WindowResult& result);

}  // namespace triotdt::report
