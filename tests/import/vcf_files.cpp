#include "import/vcf_files.h"

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

}  // namespace triotdt::test
