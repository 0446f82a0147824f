#include "import/vcf_files.h"

#include <algorithm>
#include <stdexcept>

#include <htslib/bgzf.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include "support/test_support.h"

namespace triotdt::test {

void writeIndexedVcfGz(const std::filesystem::path& vcf, const std::filesystem::path& gz) {
    const std::string text = readFile(vcf);
    BGZF* out = bgzf_open(gz.c_str(), "w");
    if (out == nullptr || bgzf_write(out, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
        bgzf_close(out) != 0 || tbx_index_build(gz.c_str(), 0, &tbx_conf_vcf) != 0) {
        throw std::runtime_error("cannot write " + gz.string());
    }
}

void writeIndexedBcf(const std::filesystem::path& vcf, const std::filesystem::path& bcf) {
    htsFile* in = hts_open(vcf.c_str(), "r");
    htsFile* out = hts_open(bcf.c_str(), "wb");
    bcf_hdr_t* header = in != nullptr ? bcf_hdr_read(in) : nullptr;
    bool ok = header != nullptr && out != nullptr && bcf_hdr_write(out, header) == 0;
    bcf1_t* record = bcf_init();
    while (ok && bcf_read(in, header, record) == 0) ok = bcf_write(out, header, record) == 0;
    bcf_destroy(record);
    if (header != nullptr) bcf_hdr_destroy(header);
    if (in != nullptr) hts_close(in);
    if (out != nullptr && hts_close(out) != 0) ok = false;
    if (!ok || bcf_index_build(bcf.c_str(), 14) != 0) throw std::runtime_error("cannot write " + bcf.string());
}

std::vector<std::uint64_t> writeBgzipRecordBlocks(const std::string& text, const std::filesystem::path& gz) {
    BGZF* out = bgzf_open(gz.c_str(), "w");
    std::vector<std::uint64_t> ends;
    bool ok = out != nullptr;
    const std::size_t records = text.find('\n', text.find("#CHROM")) + 1;
    for (std::size_t begin = 0; ok && begin < text.size();) {
        const std::size_t end = begin < records ? records : std::min(text.find('\n', begin), text.size() - 1) + 1;
        ok = bgzf_write(out, text.data() + begin, end - begin) == static_cast<ssize_t>(end - begin) &&
             bgzf_flush(out) == 0;
        ends.push_back(static_cast<std::uint64_t>(bgzf_tell(out) >> 16));
        begin = end;
    }
    if (out == nullptr || bgzf_close(out) != 0 || !ok) throw std::runtime_error("cannot write " + gz.string());
    return ends;
}

}  // namespace triotdt::test
