#pragma once

#include <stdexcept>
#include <string>

namespace triotdt::io {

// The run-time error codes of the text layer. A run ends with one of these
// when a file cannot be opened, read or written, or when the input is malformed.
enum class ErrorCode : int {
    fileNotFound = 1001,
    fileExists = 1002,
    openFailed = 1003,
    endOfFile = 2001,
    invalidNumber = 2002,
    readFailed = 2003,
    writeFailed = 3001,
    internalError = 9001,
    outOfMemory = 9002,
};

// An error that ends the run with exit status 1. `statement` names the
// statement kind and the file ("OPEN of file 'tdttran.txt'"), `reason` the
// cause on a line of its own ("file already exists").
struct RunError : std::runtime_error {
    RunError(ErrorCode code, std::string statement, std::string reason);
    ErrorCode code;
    std::string statement;
    std::string reason;
};

// Input that was read completely but cannot be analysed (missing genotypes,
// Mendelian inconsistencies, impossible counts). The message lists the places.
struct InputRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The text written to standard error for a run-time error:
// "\nrun-time error 2001: READ of file 'tdtinput.dat' ...\nend of file ...\n".
std::string describe(const RunError& error);

}  // namespace triotdt::io
