#include "import/vcf_input.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <unordered_map>

#include <htslib/hts_log.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include "import/import_error.h"
#include "import/line_reader.h"

namespace triotdt::import {
namespace {

// The records of a VCF or BCF file, all of them, or through the index those
// that overlap a region (when the file has an index).
class VcfRecords {
public:
    VcfRecords(const std::string& path, const std::optional<Region>& region) : path_(path) {
        file_ = hts_open(path.c_str(), "r");
        if (file_ == nullptr) throw ImportError(path + ": cannot be opened for reading");
        const htsExactFormat format = hts_get_format(file_)->format;
        if (format != vcf && format != bcf) throw ImportError(path + ": is neither a VCF nor a BCF file");
        header_ = bcf_hdr_read(file_);
        if (header_ == nullptr) throw ImportError(path + ": its header cannot be read");
        if (region) openRegion(format, region->text());
    }
    ~VcfRecords() {
        if (iterator_ != nullptr) hts_itr_destroy(iterator_);
        if (index_ != nullptr) hts_idx_destroy(index_);
        if (tabix_ != nullptr) tbx_destroy(tabix_);
        if (header_ != nullptr) bcf_hdr_destroy(header_);
        if (file_ != nullptr) hts_close(file_);
        std::free(line_.s);
    }
    VcfRecords(const VcfRecords&) = delete;
    VcfRecords& operator=(const VcfRecords&) = delete;

    const bcf_hdr_t* header() const { return header_; }

    // Reads the next record; false at the end. Throws ImportError for a record
    // that cannot be read; `after` names the record before it.
    bool next(bcf1_t* record, const std::string& after) {
        if (noRecords_) return false;
        int result;
        if (iterator_ == nullptr) {
            result = bcf_read(file_, header_, record);
        } else if (index_ != nullptr) {
            result = bcf_itr_next(file_, iterator_, record);
        } else {
            result = tbx_itr_next(file_, tabix_, iterator_, &line_);
            if (result >= 0) result = vcf_parse1(&line_, header_, record) == 0 ? 0 : -2;
        }
        if (result >= 0) return true;
        if (result == -1) return false;
        throw ImportError(path_ + ": the record after " + after + " cannot be read (htslib's message above says why)");
    }

private:
    void openRegion(htsExactFormat format, const std::string& region) {
        if (format == bcf) {
            index_ = bcf_index_load3(path_.c_str(), nullptr, HTS_IDX_SILENT_FAIL);
            if (index_ != nullptr) iterator_ = bcf_itr_querys(index_, header_, region.c_str());
        } else {
            tabix_ = tbx_index_load3(path_.c_str(), nullptr, HTS_IDX_SILENT_FAIL);
            if (tabix_ != nullptr) iterator_ = tbx_itr_querys(tabix_, region.c_str());
        }
        // The index knows no such chromosome: no record lies in the region.
        noRecords_ = (index_ != nullptr || tabix_ != nullptr) && iterator_ == nullptr;
    }

    std::string path_;
    htsFile* file_ = nullptr;
    bcf_hdr_t* header_ = nullptr;
    hts_idx_t* index_ = nullptr;
    tbx_t* tabix_ = nullptr;
    hts_itr_t* iterator_ = nullptr;
    kstring_t line_ = {0, 0, nullptr};
    bool noRecords_ = false;
};

// Gives each pedigree person the VCF sample of the same name as column, and
// lists the samples that no person names.
void matchSamples(const bcf_hdr_t* header, const std::string& pedigreePath, GenotypeData& data) {
    const int sampleCount = bcf_hdr_nsamples(header);
    std::unordered_map<std::string_view, std::int32_t> sampleOf;
    for (int s = 0; s < sampleCount; ++s) sampleOf.emplace(header->samples[s], s);
    std::vector<std::int32_t> personOf(static_cast<std::size_t>(sampleCount), -1);
    for (std::size_t p = 0; p < data.people.size(); ++p) {
        Person& person = data.people[p];
        const auto at = sampleOf.find(person.id);
        if (at == sampleOf.end()) continue;
        std::int32_t& owner = personOf[static_cast<std::size_t>(at->second)];
        if (owner >= 0) {
            const Person& other = data.people[static_cast<std::size_t>(owner)];
            throw ImportError(pedigreePath + ", line " + std::to_string(person.line) + ": VCF sample " + person.id +
                              " is also in family " + other.family + " (line " + std::to_string(other.line) +
                              "); a sample must name one person");
        }
        owner = static_cast<std::int32_t>(p);
        person.column = at->second;
    }
    for (int s = 0; s < sampleCount; ++s) {
        if (personOf[static_cast<std::size_t>(s)] < 0) data.samplesNotInPedigree.emplace_back(header->samples[s]);
    }
}

// The genotype of one sample: two allele numbers, or missing when an allele
// is missing. Throws for a genotype that is not diploid or names an allele
// the record does not have.
Genotype readGenotype(const std::int32_t* values, int valueCount, const bcf1_t* record, const std::string& where,
                      const char* sample) {
    std::int32_t alleles[2] = {0, 0};
    int ploidy = 0;
    bool missing = false;
    for (int k = 0; k < valueCount && values[k] != bcf_int32_vector_end; ++k) {
        const std::int32_t allele = values[k] == bcf_int32_missing || bcf_gt_is_missing(values[k]) ? -1 : bcf_gt_allele(values[k]);
        if (allele < 0) missing = true;
        if (ploidy < 2) alleles[ploidy] = allele + 1;
        ++ploidy;
    }
    if (ploidy == 0 || missing) return {};
    if (ploidy != 2) {
        throw ImportError(where + ": sample " + sample + " has " + std::to_string(ploidy) +
                          (ploidy == 1 ? " allele" : " alleles") +
                          "; only diploid genotypes can be imported (leave such markers out with --region or --markers)");
    }
    for (const std::int32_t allele : alleles) {
        if (allele > record->n_allele) {
            throw ImportError(where + ": sample " + sample + " has allele " + std::to_string(allele - 1) +
                              ", but the record has only " + std::to_string(record->n_allele) + " alleles");
        }
    }
    return {alleles[0], alleles[1]};
}

}  // namespace

GenotypeData readVcf(const std::string& vcfPath, const std::string& pedigreePath, const MarkerSelection& selection) {
    GenotypeData data;
    data.files = vcfPath + " and " + pedigreePath;
    data.separatePedigree = true;
    data.people = readPedigreeFile(pedigreePath);
    data.table.personCount = data.people.size();
    checkReadable(vcfPath);
    hts_set_log_level(HTS_LOG_ERROR);
    VcfRecords records(vcfPath, selection.region);
    const bcf_hdr_t* header = records.header();
    if (bcf_hdr_nsamples(header) == 0) throw ImportError(vcfPath + ": has no samples, so no genotypes");
    const int gtId = bcf_hdr_id2int(header, BCF_DT_ID, "GT");
    if (gtId < 0 || !bcf_hdr_idinfo_exists(header, BCF_HL_FMT, gtId)) {
        throw ImportError(vcfPath + ": its header declares no GT (genotype) field");
    }
    matchSamples(header, pedigreePath, data);

    const std::unique_ptr<bcf1_t, void (*)(bcf1_t*)> record(bcf_init(), bcf_destroy);
    std::int32_t* values = nullptr;
    int capacity = 0;
    const std::unique_ptr<std::int32_t*, void (*)(std::int32_t**)> release(&values, [](std::int32_t** p) { std::free(*p); });
    std::string last = "the header";
    while (records.next(record.get(), last)) {
        ++data.markersRead;
        bcf_unpack(record.get(), BCF_UN_STR);
        const std::string chromosome = bcf_hdr_id2name(header, record->rid);
        const std::int64_t position = record->pos + 1;
        const std::string id = record->d.id;
        last = "record " + std::to_string(data.markersRead) + " (" + chromosome + ":" + std::to_string(position) + ")";
        // htslib reads a POS that is not a number as 0.
        if (position < 1) throw ImportError(vcfPath + ", " + last + ": POS is not a whole number of 1 or more");
        const std::string name = id == "." ? chromosome + ":" + std::to_string(position) : id;
        if (!selection.includes(chromosome, position, name)) continue;

        Locus locus{chromosome, position, name, {}, vcfPath + ", " + last};
        for (int a = 0; a < record->n_allele; ++a) locus.alleles.emplace_back(record->d.allele[a]);
        const int valueCount = bcf_get_genotypes(header, record.get(), &values, &capacity);
        Genotype* genotypes = data.table.addLocus(std::move(locus));
        if (valueCount <= 0) continue;  // no GT at this record: every genotype is missing
        const int perSample = valueCount / bcf_hdr_nsamples(header);
        const std::string& where = data.table.loci.back().origin;
        for (std::size_t p = 0; p < data.people.size(); ++p) {
            const std::int32_t s = data.people[p].column;
            if (s < 0) continue;
            genotypes[p] = readGenotype(values + s * perSample, perSample, record.get(), where, header->samples[s]);
        }
    }
    return data;
}

}  // namespace triotdt::import
