#include "report/loci_table.h"

#include <gtest/gtest.h>

#include "report/run_error.h"

namespace triotdt::report {
namespace {

const std::string header = "locus\tchromosome\tposition\tmarker\talleles\n";

TEST(LociTable, ReadsEveryRowWithItsAlleleLabels) {
    const auto loci = parseLociTable(header +
                                         "1\t7\t117559590\trs113993960\tA,G\n"
                                         "2\tX\t0\t\tCA,C,CAA\r\n"
                                         "3\t7\t117559600\tm3\tT",
                                     "tdtloci.tsv");
    ASSERT_EQ(loci.size(), 3u);
    EXPECT_EQ(loci[0].chromosome, "7");
    EXPECT_EQ(loci[0].position, 117559590);
    EXPECT_EQ(loci[0].marker, "rs113993960");
    EXPECT_EQ(loci[0].alleles, (std::vector<std::string>{"A", "G"}));
    EXPECT_EQ(loci[1].marker, "");
    EXPECT_EQ(loci[1].alleles, (std::vector<std::string>{"CA", "C", "CAA"}));
    EXPECT_EQ(loci[2].alleles, (std::vector<std::string>{"T"}));
    EXPECT_TRUE(parseLociTable(header, "t").empty());
}

// Each malformed table fails with the file, the line and what is wrong.
TEST(LociTable, RefusesMalformedTablesNamingTheLine) {
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {"", "line 1: the file is empty"},
        {"locus\tchr\tposition\tmarker\talleles\n", "line 1: the header row must be"},
        {header + "1\t7\t100\tm1\n", "line 2: expected 5 tab-separated fields"},
        {header + "1\t7\t100\tm1\tA\textra\n", "line 2: expected 5 tab-separated fields (locus, chromosome, position, marker, alleles), found 6"},
        {header + "1\t7\t100\tm1\tA\n3\t7\t200\tm3\tA\n", "line 3: locus 3 where locus 2 was expected"},
        {header + "one\t7\t100\tm1\tA\n", "line 2: the locus number is not a whole number"},
        {header + "1\t7\t-5\tm1\tA\n", "line 2: the position is not a base-pair position"},
        {header + "1\t7\t1e6\tm1\tA\n", "line 2: the position is not"},
        {header + "1\t7\t100\tm1\tA\n\n", "line 3: expected 5 tab-separated fields"},
    };
    for (const auto& c : cases) {
        try {
            parseLociTable(c.text, "loci.tsv");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const RunError& error) {
            EXPECT_EQ(error.statement, "READ of file 'loci.tsv'");
            EXPECT_EQ(error.reason.rfind(c.reason, 0), 0u) << error.reason;
        }
    }
}

}  // namespace
}  // namespace triotdt::report
