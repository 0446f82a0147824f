#include "shard/shard_parts.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "io/run_error.h"
#include "io/staged_output.h"

namespace triotdt::shard {
namespace {

constexpr std::size_t kindCount = std::size(partKinds);

const char* kindSuffix(PartKind kind) {
    switch (kind) {
        case PartKind::transmission:
            return "tdttran.txt";
        case PartKind::results:
            return "tdtout.txt";
        case PartKind::console:
            return "console.txt";
        case PartKind::table:
            return "table.tsv";
    }
    return "";
}

std::string_view lineEndOf(PartKind kind) {
    return kind == PartKind::transmission || kind == PartKind::results ? "\r\n" : "\n";
}

[[noreturn]] void failFile(io::ErrorCode code, const std::string& statement, const std::string& why) {
    throw io::RunError(code, statement, why + ": " + std::strerror(errno));
}

void makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return;
        errno = ENOTDIR;
    }
    failFile(io::ErrorCode::openFailed, "CREATE of shard folder '" + folder + "'", "cannot create it");
}

void removeIfThere(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        failFile(io::ErrorCode::openFailed, "REMOVE of file '" + path + "'", "cannot remove an unfinished part");
    }
}

}  // namespace

std::string partName(PartKind kind, std::int32_t size) {
    return "size" + std::to_string(size) + "." + kindSuffix(kind);
}

std::string defaultShardFolder(const ShardNumber& shard) {
    return "shard-" + std::to_string(shard.index) + "-of-" + std::to_string(shard.count);
}

std::string programVersion() { return TRIOTDT_VERSION; }

ShardWriter::ShardWriter(std::string folder, Manifest manifest)
    : folder_(std::move(folder)), manifest_(std::move(manifest)) {
    makeFolder(folder_);
    if (::access(pathOf(manifestName).c_str(), F_OK) == 0) {
        throw io::RunError(io::ErrorCode::fileExists, "OPEN of file '" + pathOf(manifestName) + "'",
                           "file already exists: the shard is finished (remove its folder to run it again)");
    }
    removeIfThere(pathOf(lociCopyName));
    removeIfThere(pathOf(familyWisePartName));
    preamble_ = create(preambleName, "\n");
    for (std::int32_t size = 1; size <= window::largestWindowSize(manifest_.lociCount); ++size) {
        for (const PartKind kind : partKinds) parts_.push_back(create(partName(kind, size), lineEndOf(kind)));
    }
}

ShardWriter::~ShardWriter() = default;

std::string ShardWriter::pathOf(const std::string& name) const { return folder_ + "/" + name; }

std::unique_ptr<io::OutputUnit> ShardWriter::create(const std::string& name, std::string_view lineEnd) {
    removeIfThere(pathOf(name));
    names_.push_back(name);
    return std::make_unique<io::OutputUnit>(io::OutputUnit::createNew(pathOf(name), lineEnd));
}

io::OutputUnit& ShardWriter::part(PartKind kind, std::int32_t size) {
    const std::size_t kindIndex = static_cast<std::size_t>(kind);
    return *parts_.at(static_cast<std::size_t>(size - 1) * kindCount + kindIndex);
}

void ShardWriter::copyLociTable(const std::string& text) { addPart(lociCopyName, text); }

void ShardWriter::addPart(const std::string& name, const std::string& text) {
    auto part = create(name, "\n");
    part->text() = text;
    part->finish();
}

void ShardWriter::finish() {
    preamble_->finish();
    for (auto& part : parts_) part->finish();
    manifest_.parts.clear();
    for (const std::string& name : names_) manifest_.parts.push_back(PartRecord{name, sumFile(pathOf(name))});

    io::StagedOutput manifest = io::StagedOutput::beside(pathOf(manifestName), "\n");
    manifest.unit().text() = formatManifest(manifest_);
    manifest.publish();
}

}  // namespace triotdt::shard
