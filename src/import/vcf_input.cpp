#include "import/vcf_input.h"

#include <cstdlib>
#include <memory>
#include <unordered_map>

#include <htslib/hts_log.h>
#include <htslib/synced_bcf_reader.h>
#include <htslib/vcf.h>

#include "import/import_error.h"
#include "import/line_reader.h"

namespace triotdt::import {
namespace {

struct ReaderDeleter {
    void operator()(bcf_srs_t* reader) const { bcf_sr_destroy(reader); }
};
using SyncedReader = std::unique_ptr<bcf_srs_t, ReaderDeleter>;

// Opens the file through the index when a region is asked for and an index
// is there, and as a whole otherwise.
SyncedReader openVcf(const std::string& path, const MarkerSelection& selection) {
    if (selection.region) {
        SyncedReader reader(bcf_sr_init());
        const std::string region = selection.region->text();
        const int level = hts_get_log_level();
        hts_set_log_level(HTS_LOG_OFF);  // a missing index is no error here
        const bool opened = bcf_sr_set_regions(reader.get(), region.c_str(), 0) == 0 &&
                            bcf_sr_add_reader(reader.get(), path.c_str()) == 1;
        hts_set_log_level(static_cast<htsLogLevel>(level));
        if (opened) return reader;
        if (reader->errnum != idx_load_failed) {
            throw ImportError(path + ": cannot be read as VCF or BCF (" + bcf_sr_strerror(reader->errnum) + ")");
        }
    }
    SyncedReader reader(bcf_sr_init());
    if (bcf_sr_add_reader(reader.get(), path.c_str()) != 1) {
        throw ImportError(path + ": cannot be read as VCF or BCF (" + bcf_sr_strerror(reader->errnum) + ")");
    }
    return reader;
}

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
    const SyncedReader reader = openVcf(vcfPath, selection);
    const bcf_hdr_t* header = bcf_sr_get_header(reader.get(), 0);
    if (bcf_hdr_nsamples(header) == 0) throw ImportError(vcfPath + ": has no samples, so no genotypes");
    const int gtId = bcf_hdr_id2int(header, BCF_DT_ID, "GT");
    if (gtId < 0 || !bcf_hdr_idinfo_exists(header, BCF_HL_FMT, gtId)) {
        throw ImportError(vcfPath + ": its header declares no GT (genotype) field");
    }
    matchSamples(header, pedigreePath, data);

    std::int32_t* values = nullptr;
    int capacity = 0;
    const std::unique_ptr<std::int32_t*, void (*)(std::int32_t**)> release(&values, [](std::int32_t** p) { std::free(*p); });
    std::string last = "the header";
    while (bcf_sr_next_line(reader.get()) > 0) {
        bcf1_t* record = bcf_sr_get_line(reader.get(), 0);
        ++data.markersRead;
        bcf_unpack(record, BCF_UN_STR);
        const std::string chromosome = bcf_hdr_id2name(header, record->rid);
        const std::int64_t position = record->pos + 1;
        const std::string id = record->d.id;
        const std::string name = id == "." ? chromosome + ":" + std::to_string(position) : id;
        last = chromosome + ":" + std::to_string(position);
        if (!selection.includes(chromosome, position, name)) continue;

        Locus locus{chromosome, position, name, {}, vcfPath + ", record " + last};
        for (int a = 0; a < record->n_allele; ++a) locus.alleles.emplace_back(record->d.allele[a]);
        const int valueCount = bcf_get_genotypes(header, record, &values, &capacity);
        Genotype* genotypes = data.table.addLocus(std::move(locus));
        if (valueCount <= 0) continue;  // no GT at this record: every genotype is missing
        const int perSample = valueCount / bcf_hdr_nsamples(header);
        const std::string& where = data.table.loci.back().origin;
        for (std::size_t p = 0; p < data.people.size(); ++p) {
            const std::int32_t s = data.people[p].column;
            if (s < 0) continue;
            genotypes[p] = readGenotype(values + s * perSample, perSample, record, where, header->samples[s]);
        }
    }
    if (reader->errnum != 0) {
        throw ImportError(vcfPath + ": the record after " + last + " cannot be read (" +
                          bcf_sr_strerror(reader->errnum) + ")");
    }
    return data;
}

}  // namespace triotdt::import
