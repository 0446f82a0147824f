#pragma once

namespace triotdt::io {

// The files of a run, in the working folder.
inline constexpr const char* inputFileName = "tdtinput.dat";            // the input
inline constexpr const char* lociFileName = "tdtloci.tsv";              // the markers of its loci, when present
inline constexpr const char* trioListFileName = "tdttrios.tsv";         // who its families are, when present
inline constexpr const char* sexFileName = "tdtsex.tsv";                // each child's sex: the loci are on X
inline constexpr const char* transmissionFileName = "tdttran.txt";      // the transmission report
inline constexpr const char* resultFileName = "tdtout.txt";             // the statistics and p-values
inline constexpr const char* familyWiseFileName = "tdtfamilywise.tsv";  // with --family-wise: the run's minima

}  // namespace triotdt::io
