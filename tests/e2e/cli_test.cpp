// Runs the built program with the options of its command line on small
// inputs in scratch folders, and checks the files it leaves.
#include <fcntl.h>
#include <algorithm>
#ifdef RSVG_CONVERT
#include <png.h>
#endif
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/format.h"
#include "support/program_run.h"
#include "support/progress_lines.h"
#include "support/test_support.h"

extern char** environ;

namespace triotdt {
namespace {

namespace fs = std::filesystem;

using test::filesIn;
using test::readFile;
using test::writeFile;

// A path quoted for the shell, for the outside tools run with std::system.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

test::RunResult runWith(const std::vector<std::string>& args, const fs::path& folder) {
    return test::runProgram(folder, args);
}

fs::path folderWith(const test::ScratchFolder& scratch, const std::string& name, const std::string& input) {
    const fs::path folder = scratch / name;
    fs::create_directories(folder);
    writeFile(folder / "tdtinput.dat", input);
    return folder;
}

const std::string demoInput = readFile(fs::path(TRIOTDT_SOURCE_DIR) / "examples" / "tdtinput.dat");

// Six trios at three loci; family 2 is ambiguous at locus 2.
const std::string smallInput =
    "6\n200\n3\n2 3 2\n"
    "1 2 1 3 1 1\n2 2 2 3 1 2\n1 2 1 2 1 2\n"
    "1 2 2 3 1 2\n1 2 2 3 2 2\n1 1 2 3 1 2\n"
    "1 1 1 1 2 2\n1 2 3 3 1 2\n1 1 1 3 1 2\n"
    "2 2 1 2 1 2\n1 2 2 2 1 1\n1 2 1 2 1 1\n"
    "1 2 1 3 2 2\n1 1 1 1 1 2\n1 1 1 1 2 2\n"
    "1 2 2 2 1 2\n2 2 1 3 1 1\n2 2 2 3 1 1\n";
const std::string smallLoci =
    "locus\tchromosome\tposition\tmarker\talleles\n"
    "1\t11\t2100400\trs7&a\tC,T\n"
    "2\t11\t2100950\trs12\tA,C,G\n"
    "3\t11\t2103000\tkgp5\tG,T\n";

// A table read strictly: tab-separated, every row as many fields as the
// header, no quoting anywhere.
std::vector<std::vector<std::string>> readStrictTable(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.find_first_of("\"\r"), std::string::npos) << line;
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t') fields.emplace_back();
            else fields.back() += c;
        }
        if (!rows.empty()) {
            EXPECT_EQ(fields.size(), rows[0].size()) << line;
        }
        rows.push_back(fields);
    }
    EXPECT_TRUE(text.ends_with('\n'));
    return rows;
}

std::string printed(const std::string& field) {
    std::string out;
    triotdt::io::appendReal(out, std::strtod(field.c_str(), nullptr), 9, 3);
    return out;
}

// Every row's loci, statistics and p-values, printed as the report prints
// them, equal the p-value and statistic lines of tdtout.txt, in order.
std::size_t columnOf(const std::vector<std::vector<std::string>>& table, const std::string& name) {
    return static_cast<std::size_t>(std::find(table[0].begin(), table[0].end(), name) - table[0].begin());
}

void expectTableMatchesReport(const std::vector<std::vector<std::string>>& table, const std::string& report) {
    const std::size_t stat = columnOf(table, "stat_Punamb"), p = columnOf(table, "p_Punamb");
    ASSERT_LT(p, table[0].size());
    std::vector<std::string> pLines, statLines;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(" marker", 0) == 0) pLines.push_back(line);
        if (line.rfind("             statis", 0) == 0) statLines.push_back(line);
    }
    ASSERT_EQ(table.size(), pLines.size() + 1);
    ASSERT_EQ(statLines.size(), pLines.size());
    for (std::size_t w = 0; w < pLines.size(); ++w) {
        const std::vector<std::string>& row = table[w + 1];
        EXPECT_EQ(std::stoi(pLines[w].substr(7, 2)), std::stoi(row[1]));
        EXPECT_EQ(std::stoi(pLines[w].substr(10, 2)), std::stoi(row[2]));
        EXPECT_EQ(std::stoi(row[2]) - std::stoi(row[1]) + 1, std::stoi(row[0]));
        for (std::size_t s = 0; s < 5; ++s) {
            EXPECT_EQ(printed(row[stat + s]), statLines[w].substr(20 + 9 * s, 9))
                << "window " << w << " " << row[stat + s];
            EXPECT_EQ(printed(row[p + s]), pLines[w].substr(20 + 9 * s, 9)) << "window " << w << " " << row[p + s];
        }
    }
}

TEST(CommandLineRun, TableAndPlotLeaveTheReportsAndConsoleAsThePlainRun) {
    const test::ScratchFolder scratch;
    const fs::path plain = folderWith(scratch, "plain", demoInput);
    const fs::path extra = folderWith(scratch, "extra", demoInput);
    const test::RunResult a = runWith({}, plain);
    const test::RunResult b = runWith({"--table", "results.tsv", "--plot", "results.svg", "--threads", "2"}, extra);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    // The figure adds its inflation factor, the one it shows, before the stop line.
    const std::string stop = "Stop - Program terminated.\n";
    const std::string lambda = "Inflation factor of the Pem p-values in the figure: lambda = ";
    ASSERT_TRUE(a.out.ends_with(stop));
    const std::size_t added = a.out.size() - stop.size();
    EXPECT_EQ(b.out.substr(0, added), a.out.substr(0, added));
    EXPECT_EQ(b.out.substr(added, lambda.size()), lambda);
    const std::string value = b.out.substr(added + lambda.size(), 5);
    EXPECT_EQ(b.out.substr(added + lambda.size() + 5), "\n" + stop);
    EXPECT_NE(readFile(extra / "results.svg").find(">λ = " + value + " (21 windows)</text>"), std::string::npos)
        << value;
    EXPECT_EQ(b.err, "");  // no progress line off a terminal
    for (const char* report : {"tdttran.txt", "tdtout.txt"})
        EXPECT_EQ(readFile(plain / report), readFile(extra / report));
    EXPECT_EQ(filesIn(extra),
              (std::vector<std::string>{"results.svg", "results.tsv", "tdtinput.dat", "tdtout.txt", "tdttran.txt"}));

    const auto table = readStrictTable(readFile(extra / "results.tsv"));
    ASSERT_EQ(table.size(), 1u + 6 + 5 + 4 + 3 + 2 + 1);
    EXPECT_EQ(table[0][0], "window_size");
    expectTableMatchesReport(table, readFile(extra / "tdtout.txt"));
    for (std::size_t r = 1; r < table.size(); ++r) {
        EXPECT_EQ(table[r][3] + table[r][4] + table[r][5], "");  // no tdtloci.tsv: no markers
        EXPECT_EQ(table[r][columnOf(table, "replicates")], "1000");
        EXPECT_EQ(table[r][columnOf(table, "families")], "40");  // the demo's trios, all genotyped
    }
}

// Many small windows: 40 families of 60 biallelic loci, 24 replicates (399
// windows, each scored whole by one thread, several at once).
std::string manySmallWindows() {
    std::string text = "40\n24\n60\n";
    for (int l = 0; l < 60; ++l) text += "2 ";
    text += "\n";
    std::uint32_t state = 12345;
    const auto allele = [&] { return (state = state * 1103515245u + 12345u) >> 16 & 1u ? '2' : '1'; };
    for (int f = 0; f < 40; ++f) {
        std::string father, mother, child;
        for (int l = 0; l < 60; ++l) {
            const char f1 = allele(), f2 = allele(), m1 = allele(), m2 = allele();
            father += {f1, ' ', f2, ' '};
            mother += {m1, ' ', m2, ' '};
            child += {allele() == '1' ? f1 : f2, ' ', allele() == '1' ? m1 : m2, ' '};
        }
        text += father + "\n" + mother + "\n" + child + "\n";
    }
    return text;
}

// Windows run side by side, and the replicates of a large window are shared
// out among the threads; every window draws from its own place in the stream:
// the number of threads changes nothing, the figure included.
// threads-input.dat has a few windows large enough for their replicates to
// be shared out.
TEST(CommandLineRun, AnyNumberOfThreadsWritesTheSameReports) {
    const test::ScratchFolder scratch;
    const std::string fewLarge = readFile(fs::path(TRIOTDT_SOURCE_DIR) / "tests" / "e2e" / "threads-input.dat");
    for (const auto& [name, input] : {std::pair{"few-large", fewLarge}, std::pair{"many-small", manySmallWindows()}}) {
        const fs::path one = folderWith(scratch, std::string(name) + "-one", input);
        const test::RunResult reference = runWith({"--threads", "1", "--plot", "f.svg"}, one);
        ASSERT_EQ(reference.status, 0) << reference.err;
        for (const char* threads : {"2", "3", "8"}) {
            const fs::path folder = folderWith(scratch, std::string(name) + "-threads" + threads, input);
            const test::RunResult run = runWith({"--threads", threads, "--plot", "f.svg"}, folder);
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.out, reference.out) << name << ", " << threads << " threads";
            for (const char* report : {"tdttran.txt", "tdtout.txt", "f.svg"}) {
                EXPECT_EQ(readFile(folder / report), readFile(one / report))
                    << name << ", " << report << ", " << threads;
            }
        }
    }
}

TEST(CommandLineRun, TableNamesTheMarkersOfTheLociFile) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "named", smallInput);
    writeFile(folder / "tdtloci.tsv", smallLoci);
    const test::RunResult run = runWith({"--table", "t.tsv", "--plot", "p.svg"}, folder);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto table = readStrictTable(readFile(folder / "t.tsv"));
    ASSERT_EQ(table.size(), 1u + 3 + 2 + 1);
    expectTableMatchesReport(table, readFile(folder / "tdtout.txt"));
    const std::vector<std::string> lastRow(table[6].begin(), table[6].begin() + 8);
    EXPECT_EQ(lastRow, (std::vector<std::string>{"3", "1", "3", "11", "rs7&a", "2100400", "kgp5", "2103000"}));
    EXPECT_EQ(table[2][4] + "|" + table[2][6], "rs12|rs12");
    const std::string svg = readFile(folder / "p.svg");
    EXPECT_NE(svg.find(">rs7&amp;a</text>"), std::string::npos);
    EXPECT_NE(svg.find(">position on chromosome 11 (Mb)</text>"), std::string::npos);
}

TEST(CommandLineRun, RefusesALociFileOfAnotherInputBeforeCreatingAnything) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "stale", smallInput);
    writeFile(folder / "tdtloci.tsv", smallLoci.substr(0, smallLoci.rfind("3\t11")));
    const test::RunResult run = runWith({"--table", "t.tsv"}, folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("tdtloci.tsv does not describe the loci of tdtinput.dat: it lists 2 loci, the input has 3"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"tdtinput.dat", "tdtloci.tsv"}));
}

TEST(CommandLineRun, NeverOverwritesTheTableOrThePlot) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "again", smallInput);
    writeFile(folder / "old.svg", "keep");
    const test::RunResult run = runWith({"--plot", "old.svg"}, folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("OPEN of file 'old.svg'\nfile already exists"), std::string::npos) << run.err;
    EXPECT_EQ(readFile(folder / "old.svg"), "keep");
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"old.svg", "tdtinput.dat"}));
}

TEST(CommandLineRun, ChangesIntoTheFolderBeforeOpeningAnyFile) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "elsewhere", smallInput);
    const test::RunResult run = runWith({"-C", "elsewhere", "--table", "t.tsv"}, scratch.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"t.tsv", "tdtinput.dat", "tdtout.txt", "tdttran.txt"}));

    const test::RunResult missing = runWith({"-C", "nowhere"}, scratch.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "\nrun-time error 1003: CHANGE into folder 'nowhere' (-C)\n"
              "cannot change into it: No such file or directory\n");
}

TEST(CommandLineRun, UsageErrorsStopBeforeAnyFileIsTouched) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "usage", smallInput);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--frobnicate"}, {"--threads", "none"}, {"--plot", "p.png"}, {"input.dat"}}) {
        const test::RunResult run = runWith(args, folder);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("Run 'triotdt --help' for the options."), std::string::npos) << run.err;
    }
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"tdtinput.dat"}));
    const test::RunResult version = runWith({"--version"}, folder);
    EXPECT_EQ(version.status, 0);
    // The commit is checked against git by tests/packaging/version_test.sh.
    EXPECT_TRUE(version.out.starts_with("triotdt " TRIOTDT_VERSION " (commit ")) << version.out;
}

#ifdef RSVG_CONVERT  // the figure is rendered only where a renderer is installed
struct Picture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<png_byte> rgb;
};

Picture readPng(const fs::path& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return {};
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

// The figure renders with a real SVG renderer at its own size, is not blank,
// and shows the colour of each window size.
TEST(CommandLineRun, PlotRendersWithTheColourOfEveryWindowSize) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "plot", demoInput);
    ASSERT_EQ(runWith({"--plot", "p.svg"}, folder).status, 0);
    ASSERT_EQ(std::system((XMLLINT " --noout --nonet " + quoted((folder / "p.svg").string())).c_str()), 0);
    ASSERT_EQ(std::system((RSVG_CONVERT " -o " + quoted((folder / "p.png").string()) + " " +
                           quoted((folder / "p.svg").string()))
                              .c_str()),
              0);
    const Picture picture = readPng(folder / "p.png");
    const std::string svg = readFile(folder / "p.svg");
    const std::string svgTag = svg.substr(0, svg.find('>', svg.find("<svg ")));
    const auto attribute = [&](const std::string& name) {
        const std::size_t at = svgTag.find(" " + name + "=\"");
        return at == std::string::npos ? 0.0 : std::stod(svgTag.substr(at + name.size() + 3));
    };
    EXPECT_EQ(picture.width, static_cast<png_uint_32>(attribute("width")));
    EXPECT_EQ(picture.height, static_cast<png_uint_32>(attribute("height")));

    const std::array<std::array<int, 3>, 6> colours = {{{0x44, 0x01, 0x54},
                                                        {0x47, 0x2F, 0x7D},
                                                        {0x39, 0x56, 0x8C},
                                                        {0x2A, 0x78, 0x8E},
                                                        {0x1F, 0x98, 0x8B},
                                                        {0x35, 0xB7, 0x79}}};
    std::array<std::size_t, 6> colourPixels{};
    std::size_t notWhite = 0;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
        const int r = picture.rgb[i], g = picture.rgb[i + 1], b = picture.rgb[i + 2];
        if (r != 255 || g != 255 || b != 255) ++notWhite;
        for (std::size_t s = 0; s < colours.size(); ++s) {
            if (std::abs(r - colours[s][0]) + std::abs(g - colours[s][1]) + std::abs(b - colours[s][2]) <= 6)
                ++colourPixels[s];
        }
    }
    EXPECT_GT(notWhite, picture.rgb.size() / 3 / 100);
    for (std::size_t s = 0; s < colours.size(); ++s)
        EXPECT_GT(colourPixels[s], 5u) << "windows of " << s + 1;  // a dot at least
}
#endif  // RSVG_CONVERT

// On a terminal, standard output reaches it unchanged whatever the progress
// line does; taking out the progress line leaves exactly the console text.
TEST(CommandLineRun, OutputOnATerminalIsTheConsoleText) {
    const test::ScratchFolder scratch;
    const fs::path plain = folderWith(scratch, "plain", demoInput);
    const fs::path onTerminal = folderWith(scratch, "terminal", demoInput);
    const test::RunResult reference = runWith({}, plain);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, master);
    const std::string folderOption = onTerminal.string();
    const char* argv[] = {test::programPath(), "-C", folderOption.c_str(), nullptr};
    ::setenv("TERM", "xterm", 1);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, test::programPath(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);

    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(got));
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(master);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::withoutProgressLines(shown), reference.out);
}

}  // namespace
}  // namespace triotdt
