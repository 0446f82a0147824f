#include "driver/output_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "driver/command_line.h"
#include "io/file_names.h"
#include "io/run_error.h"

namespace triotdt::driver {
namespace {

constexpr const char* reportNames[] = {io::transmissionFileName, io::resultFileName};

// A file by its folder's identity and its own name: two paths name one file
// when both agree, whether or not the file exists yet.
struct FileIdentity {
    dev_t device = 0;
    ino_t folder = 0;
    std::string name;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

[[noreturn]] void refuseCreating(const std::string& path, const std::string& reason) {
    throw io::RunError(io::ErrorCode::openFailed, "OPEN of file '" + path + "'", "cannot create it: " + reason);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The identity of the file `path` would create; its folder must exist.
FileIdentity identify(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..") refuseCreating(path, "it names a folder, not a file");
    const std::string folder = folderOf(path);
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        refuseCreating(path, "the folder '" + folder + "' " +
                                 (errno == ENOENT ? std::string("does not exist") : std::strerror(errno)));
    }
    if (!S_ISDIR(status.st_mode)) refuseCreating(path, "'" + folder + "' is not a folder");
    return {status.st_dev, status.st_ino, name};
}

void checkCreatable(const std::string& path) {
    const std::string folder = folderOf(path);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        refuseCreating(path, "the folder '" + folder + "' cannot be written: " + std::strerror(errno));
    }
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        throw io::RunError(io::ErrorCode::fileExists, "OPEN of file '" + path + "'", "file already exists");
    }
}

void refuseReportNames(const std::string& option, const std::string& path, const FileIdentity& file) {
    struct stat here {};
    if (::stat(".", &here) != 0) return;  // the reports' creation will say why
    for (const char* report : reportNames) {
        if (file == FileIdentity{here.st_dev, here.st_ino, report}) {
            throw UsageError(option + " '" + path + "' names the report " + report + ", which the run writes itself");
        }
    }
}

}  // namespace

bool namesStandardOutput(const std::string& path) {
    if (path == "-") return true;
    struct stat file {};
    struct stat output {};
    return ::stat(path.c_str(), &file) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 && file.st_dev == output.st_dev &&
           file.st_ino == output.st_ino;
}

void checkOutputPaths(const std::string& tablePath, const std::string& plotPath) {
    // Standard output is the console's or the table's own; the figure never goes there.
    const bool tableAsked = !tablePath.empty() && !namesStandardOutput(tablePath);
    const bool plotAsked = !plotPath.empty();
    std::optional<FileIdentity> table, plot;
    if (tableAsked) table = identify(tablePath);
    if (plotAsked) plot = identify(plotPath);
    // Contradictions of the command line first, then what the file system allows.
    if (table) refuseReportNames("--table", tablePath, *table);
    if (plot) refuseReportNames("--plot", plotPath, *plot);
    if (table && plot && *table == *plot) {
        throw UsageError("--table '" + tablePath + "' and --plot '" + plotPath + "' name the same file");
    }
    if (table) checkCreatable(tablePath);
    if (plot) checkCreatable(plotPath);
}

}  // namespace triotdt::driver
