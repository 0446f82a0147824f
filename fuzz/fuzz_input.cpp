// libFuzzer target: arbitrary bytes as tdtinput.dat.
//
// Every input is read from memory and then run whole in a scratch folder,
// where the program reads the same bytes from a file, in chunks. The run must
// fail with the message the memory reader or the input checks gave, leaving
// both reports empty, or, when the input is accepted, end well and analyse
// every window. Accepted input too large for a quick run is only read again
// from the file, which must give the same data. These limits keep each input
// well under a second; they belong to this harness, the program has none.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "driver/analysis.h"
#include "haplotype/window.h"
#include "input/family_input.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/text_reader.h"

namespace {

using triotdt::haplotype::FamilyData;

constexpr std::int32_t maxFamilies = 60;
constexpr std::int64_t maxAlleleValues = 3000;  // families × loci × 2 per person
constexpr std::int32_t maxReplicates = 4;
constexpr std::int32_t maxLoci = 40;
// Summed over the analysed windows; the EM alone touches each haplotype up to
// 200 times per window.
constexpr std::int64_t maxHaplotypes = 4000;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

struct ReadResult {
    bool ok = false;
    FamilyData data;
    std::string error;
};

ReadResult readWith(triotdt::io::TextReader& reader) {
    ReadResult result;
    try {
        result.data = triotdt::input::readFamilyData(reader);
        result.ok = true;
    } catch (const triotdt::io::RunError& error) {
        using triotdt::io::ErrorCode;
        if (error.code != ErrorCode::endOfFile && error.code != ErrorCode::invalidNumber) {
            fail("reading from memory gave an unexpected error: " + triotdt::io::describe(error));
        }
        result.error = triotdt::io::describe(error);
    }
    return result;
}

bool sameData(const FamilyData& a, const FamilyData& b) {
    return a.familyCount == b.familyCount && a.replicateCount == b.replicateCount && a.lociCount == b.lociCount &&
           a.alleleCount == b.alleleCount && a.fatherAlleles.values() == b.fatherAlleles.values() &&
           a.motherAlleles.values() == b.motherAlleles.values() && a.childAlleles.values() == b.childAlleles.values();
}

void writeInputFile(const std::uint8_t* bytes, std::size_t size) {
    const int fd = ::open("tdtinput.dat", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) fail("cannot create the scratch input");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n <= 0) fail("cannot write the scratch input");
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

// The number of windows a run analyses, and their haplotypes summed; windows
// too large for 32-bit codes are skipped by the run and cost nothing.
std::int64_t analysedHaplotypes(const FamilyData& data, std::int64_t& windows) {
    std::int64_t total = 0;
    windows = 0;
    const std::int32_t largest = data.lociCount < 7 ? data.lociCount : 7;
    for (std::int32_t size = 1; size <= largest; ++size) {
        for (std::int32_t start = 0; start + size <= data.lociCount; ++start) {
            ++windows;
            const std::int64_t count = triotdt::haplotype::countHaplotypes(
                std::span<const std::int32_t>(data.alleleCount)
                    .subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(size)));
            if (count <= std::numeric_limits<std::int32_t>::max()) total += count;
        }
    }
    return total;
}

bool smallEnough(const FamilyData& data) {
    if (data.familyCount > maxFamilies || data.replicateCount > maxReplicates || data.lociCount > maxLoci) {
        return false;
    }
    if (std::int64_t{data.familyCount} * data.lociCount * 2 > maxAlleleValues) return false;
    std::int64_t windows = 0;
    return analysedHaplotypes(data, windows) <= maxHaplotypes;
}

std::uintmax_t sizeOf(const char* name) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    if (error) fail(std::string(name) + " is missing after the run");
    return size;
}

// Runs the program on the scratch input. `expectedFailure` is the message the
// run must end with, or empty when it must end well.
void runAndCheck(const FamilyData& data, const std::string& expectedFailure) {
    std::int64_t windows = 0;
    if (expectedFailure.empty()) analysedHaplotypes(data, windows);
    std::int64_t seen = 0;
    std::string failure;
    triotdt::driver::RunOptions options;
    options.threads = 1;
    try {
        triotdt::driver::runAnalysis(
            triotdt::input::readInput(), options, [&](const triotdt::window::WindowResult& outcome) {
                ++seen;
                if (outcome.skipped) return;
                for (std::size_t s = 0; s < 5; ++s) {
                    const double p = outcome.pValues[s];
                    if (!(p >= 0.0 && p <= 1.0)) fail("a p-value outside 0..1: " + std::to_string(p));
                    if (!(outcome.statistics[s] >= 0.0)) {
                        fail("a statistic that is negative or not a number: " + std::to_string(outcome.statistics[s]));
                    }
                }
            });
    } catch (const triotdt::io::RunError& error) {
        failure = triotdt::io::describe(error);
    } catch (const triotdt::io::InputRefused& refused) {
        failure = refused.what();
    } catch (const std::exception& error) {
        fail(std::string("the run failed unexpectedly: ") + error.what());
    }
    if (failure != expectedFailure) {
        fail("the run ended with\n" + failure + "\ninstead of\n" + expectedFailure);
    }
    if (!failure.empty()) {
        if (sizeOf("tdttran.txt") != 0 || sizeOf("tdtout.txt") != 0) fail("a refused input left a report not empty");
    } else if (seen != windows) {
        fail("the run analysed " + std::to_string(seen) + " of " + std::to_string(windows) + " windows");
    }
}

// For accepted input too large to run here: the file reader must read what
// the memory reader read.
void compareWithFileReader(const FamilyData& fromMemory) {
    triotdt::io::TextReader fileReader(triotdt::io::openExisting("tdtinput.dat"), "tdtinput.dat");
    const ReadResult fromFile = readWith(fileReader);
    if (!fromFile.ok || !sameData(fromMemory, fromFile.data)) {
        fail("the file reader disagrees with the memory reader: " + fromFile.error);
    }
}

// The check one family at a time, as a shard makes it while reading, must
// find what the check of the whole data finds.
void compareFamilyByFamilyCheck(const std::string& text, const triotdt::input::InputProblems& whole) {
    auto reader = triotdt::io::TextReader::fromText(text, "tdtinput.dat");
    const FamilyData head = triotdt::input::readFamilyHead(reader);
    triotdt::input::InputProblems problems = triotdt::input::findUnusableCounts(head);
    triotdt::input::readEachTrio(reader, head, [&](std::int32_t family, const triotdt::input::TrioRecords& trio) {
        triotdt::input::addUnusableGenotypes(problems, head, family, trio);
    });
    if (problems.shown != whole.shown || problems.total != whole.total || problems.mendelian != whole.mendelian) {
        fail("the check family by family disagrees with the check of the whole data");
    }
}

std::string scratchFolder;

// Whether a file of the scratch folder is still open. (Only those count: the
// fuzzer itself opens pipes to a symbolizer now and then.)
bool scratchFileLeftOpen() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.starts_with(scratchFolder)) return true;
    }
    return false;
}

void removeReports() {
    std::remove("tdttran.txt");
    std::remove("tdtout.txt");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The console lines of the runs go nowhere; a closed standard output would
    // end every run at its first window instead.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) fail("cannot send standard output to /dev/null");
    ::close(null);
    std::string folder = (std::filesystem::temp_directory_path() / "triotdt-fuzz-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) fail("cannot create a scratch folder");
    std::filesystem::current_path(folder);
    scratchFolder = std::filesystem::current_path().string() + "/";
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(scratchFolder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    auto memoryReader = triotdt::io::TextReader::fromText(text, "tdtinput.dat");
    const ReadResult fromMemory = readWith(memoryReader);

    removeReports();
    writeInputFile(bytes, size);

    std::string expectedFailure = fromMemory.error;
    if (fromMemory.ok) {
        const auto problems = triotdt::input::findUnusableInput(fromMemory.data);
        compareFamilyByFamilyCheck(text, problems);
        if (!problems.empty()) {
            if (problems.shown.empty()) fail("refused input without a described problem");
            expectedFailure = triotdt::input::describeUnusableInput("tdtinput.dat", problems);
        } else if (!smallEnough(fromMemory.data)) {
            compareWithFileReader(fromMemory.data);
            if (scratchFileLeftOpen()) fail("the reader left its file open");
            return 0;
        }
    }
    runAndCheck(fromMemory.data, expectedFailure);
    if (scratchFileLeftOpen()) fail("the run left a file open");
    return 0;
}
