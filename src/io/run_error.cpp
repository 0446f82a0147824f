#include "io/run_error.h"

namespace triotdt::io {

RunError::RunError(ErrorCode code_, std::string statement_, std::string reason_)
    : std::runtime_error(statement_ + ": " + reason_),
      code(code_),
      statement(std::move(statement_)),
      reason(std::move(reason_)) {}

std::string describe(const RunError& error) {
    return "\nrun-time error " + std::to_string(static_cast<int>(error.code)) + ": " + error.statement +
           "\n" + error.reason + "\n";
}

}  // namespace triotdt::io
