#pragma once

// Helpers shared by the tests: a scratch folder that removes itself, reading
// and writing whole files. Runs of the program: support/program_run.h.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace triotdt::test {

// The whole content of a file, byte for byte; throws when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A new, empty folder of its own, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "triotdt-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes `text` as tdtinput.dat.
    void writeInput(std::string_view text) const { writeFile(path_ / "tdtinput.dat", text); }
    // The whole content of a file of the folder; empty when it is missing.
    std::string read(std::string_view name) const {
        return std::filesystem::exists(path_ / name) ? readFile(path_ / name) : std::string();
    }
    bool has(std::string_view name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
};

}  // namespace triotdt::test
