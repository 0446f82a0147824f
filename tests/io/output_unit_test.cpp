#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "io/output_unit.h"
#include "io/run_error.h"
#include "report/reports.h"
#include "support/test_support.h"

namespace triotdt::io {
namespace {

namespace fs = std::filesystem;

class Opening : public ::testing::Test {
protected:
    std::string pathOf(const char* name) const { return (folder / name).string(); }
    test::ScratchFolder folder;
};

template <class Open>
RunError errorOf(Open&& open) {
    try {
        open();
    } catch (const RunError& error) {
        return error;
    }
    ADD_FAILURE() << "the file was opened";
    return RunError(ErrorCode::internalError, "", "");
}

TEST_F(Opening, ANewReportIsCreatedAndGetsItsLinesWithCrLf) {
    const std::string path = pathOf("tdttran.txt");
    OutputUnit unit = OutputUnit::createNew(path, "\r\n");
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    report::writeWindowSizeHeading(unit, 2, haplotype::Inheritance::autosomal);
    unit.finish();
    EXPECT_EQ(test::readFile(path), "\r\n the result of    2 loci system\r\n");
}

TEST_F(Opening, AnExistingReportIsNeverOverwritten) {
    const std::string path = pathOf("tdtout.txt");
    test::writeFile(path, "an earlier run's results\r\n");
    const RunError error = errorOf([&] { OutputUnit::createNew(path, "\r\n"); });
    EXPECT_EQ(error.code, ErrorCode::fileExists);
    EXPECT_EQ(error.reason, "file already exists");
    EXPECT_NE(error.statement.find("OPEN"), std::string::npos) << error.statement;
    EXPECT_NE(error.statement.find(path), std::string::npos) << error.statement;
    EXPECT_EQ(test::readFile(path), "an earlier run's results\r\n");
}

TEST_F(Opening, ALinkNamedLikeTheReportIsNotFollowed) {
    // Creating through a dangling link would write a file somewhere else.
    const std::string target = pathOf("elsewhere.txt");
    fs::create_symlink(target, pathOf("tdtout.txt"));
    EXPECT_EQ(errorOf([&] { OutputUnit::createNew(pathOf("tdtout.txt"), "\r\n"); }).code, ErrorCode::fileExists);
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(Opening, AMissingInputIsFileNotFound) {
    const std::string path = pathOf("tdtinput.dat");
    const RunError error = errorOf([&] { openExisting(path); });
    EXPECT_EQ(error.code, ErrorCode::fileNotFound);
    EXPECT_EQ(error.reason, "file not found");
    EXPECT_NE(error.statement.find(path), std::string::npos) << error.statement;
    EXPECT_EQ(describe(error), "\nrun-time error 1001: OPEN of file '" + path + "'\nfile not found\n");
}

TEST_F(Opening, AFolderNamedLikeTheInputIsRefused) {
    const std::string path = pathOf("tdtinput.dat");
    fs::create_directory(path);
    const RunError error = errorOf([&] { openExisting(path); });
    EXPECT_EQ(error.code, ErrorCode::openFailed);
    EXPECT_NE(error.reason.find("directory"), std::string::npos) << error.reason;
}

TEST_F(Opening, AnExistingInputIsReadFromItsBeginning) {
    const std::string path = pathOf("tdtinput.dat");
    test::writeFile(path, "2\n1000\n");
    const FileDescriptor file = openExisting(path);
    char buffer[16] = {};
    EXPECT_EQ(::read(file.get(), buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer), "2\n1000\n");
}

}  // namespace
}  // namespace triotdt::io

namespace triotdt::io {
namespace {

// A descriptor has one owner: moving hands it on, and it is closed once.
TEST(FileDescriptorOwnership, MovesHandOverAndCloseOnce) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FileDescriptor reading(fds[0]);
    FileDescriptor writing(fds[1]);
    FileDescriptor moved(std::move(reading));
    EXPECT_FALSE(reading.isOpen());
    EXPECT_EQ(moved.get(), fds[0]);
    EXPECT_EQ(moved.close(), 0);
    EXPECT_EQ(moved.close(), 0);  // already closed: nothing to do, no second close
    EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);
    writing = FileDescriptor();  // assignment closes the old one
    EXPECT_EQ(::fcntl(fds[1], F_GETFD), -1);
}

}  // namespace
}  // namespace triotdt::io
