// tdtloci.tsv: written by the import, read back by whoever names loci.
#include <gtest/gtest.h>

#include <fstream>

#include "output/loci_table.h"
#include "io/run_error.h"
#include "support/test_support.h"

namespace triotdt::output {
namespace {

const std::vector<LocusRow> rows = {
    {1, "1", 1000, "rs1", {"A", "G"}},
    {2, "X", 0, "1:5000", {"A"}},
    {3, "HLA-A*01:01", 123456789012, "rs3", {"G", "A", "<DEL>"}},
};

TEST(LociTable, WritesTheHeaderThenOneTabSeparatedRowPerLocus) {
    EXPECT_EQ(formatLociTable(rows),
              "locus\tchromosome\tposition\tmarker\talleles\n"
              "1\t1\t1000\trs1\tA,G\n"
              "2\tX\t0\t1:5000\tA\n"
              "3\tHLA-A*01:01\t123456789012\trs3\tG,A,<DEL>\n");
}

TEST(LociTable, ReadsBackWhatItWrites) {
    EXPECT_EQ(parseLociTable(formatLociTable(rows), "t"), rows);
    std::string crlf;
    for (const char c : formatLociTable(rows)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(parseLociTable(crlf, "t"), rows);

    const test::ScratchFolder folder;
    const std::string path = (folder / "tdtloci.tsv").string();
    test::writeFile(path, formatLociTable(rows));
    EXPECT_EQ(readLociTable(path), rows);
    EXPECT_THROW(readLociTable(path + ".none"), io::RunError);
}

TEST(LociTable, RefusesMalformedRowsNamingTheLine) {
    const std::string header = "locus\tchromosome\tposition\tmarker\talleles\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "t: is empty"},
        {"locus chromosome position marker alleles\n", "t, line 1: the header should be"},
        {header + "1\t1\t5\trs1\n", "t, line 2: 4 tab-separated fields"},
        {header + "1\t1\t5\trs1\tA\n3\t1\t6\trs2\tA\n", "t, line 3: locus '3' should be 2"},
        {header + "1\t1\t5e3\trs1\tA\n", "t, line 2: position '5e3' is not a whole number"},
        {header + "1\t1\t5\trs1\tA,,G\n", "t, line 2: an allele label is empty"},
        {header + "1\t1\t5\trs1\tA\n\n", "t, line 3: 1 tab-separated fields"},
    };
    for (const auto& [text, message] : cases) {
        try {
            parseLociTable(text, "t");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const io::InputRefused& refused) {
            EXPECT_EQ(std::string(refused.what()).rfind(message, 0), 0u) << refused.what();
        }
    }
}

}  // namespace
}  // namespace triotdt::output
