#include "import/vcf_input.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <unordered_map>

#include <htslib/hts_log.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

#include "driver/interruption.h"
#include "import/import_error.h"
#include "import/line_reader.h"
#include "output/loci_table.h"

namespace triotdt::import {
namespace {

// Frees an htslib object with the function htslib gives for it.
template <auto release>
struct Release {
    template <typename T>
    void operator()(T* object) const {
        release(object);
    }
};

void freeArray(const char** names) { std::free(static_cast<void*>(names)); }

// Whether the file ends with a line end; empty when that cannot be known.
std::optional<bool> endsWithLineEnd(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;  // a pipe is read once, by htslib
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return std::nullopt;
    const std::streamoff size = file.tellg();
    if (size <= 0) return std::nullopt;
    file.seekg(size - 1);
    char last = 0;
    if (!file.get(last)) return std::nullopt;
    return last == '\n';
}

// A file cut short looks like a shorter whole file to a reader: refuse a
// bgzip-compressed file (or BCF) without its end-of-file block, and a plain
// text VCF whose last line has no line end.
void checkComplete(htsFile* file, const std::string& path) {
    const htsFormat* format = hts_get_format(file);
    if (format->compression == bgzf) {
        const int eof = hts_check_EOF(file);
        if (eof == 0) {
            throw ImportError(path +
                              ": has no end-of-file block, so the file is cut short (truncated); "
                              "copy or write it again in full");
        }
        if (eof < 0) throw ImportError(path + ": cannot be checked for an end-of-file block");
    } else if (format->compression == no_compression && format->format == vcf && endsWithLineEnd(path) == false) {
        throw ImportError(path +
                          ": the last line has no line end, so the file is cut short inside a record "
                          "(truncated); copy or write it again in full");
    }
}

// The records of a VCF or BCF file, all of them, or through the index those
// that lie in a region (when the file has an index).
class VcfRecords {
public:
    VcfRecords(const std::string& path, const std::optional<Region>& region) : path_(path) {
        file_.reset(hts_open(path.c_str(), "r"));
        if (file_ == nullptr) throw ImportError(path + ": cannot be opened for reading");
        const htsExactFormat format = hts_get_format(file_.get())->format;
        if (format != vcf && format != bcf) throw ImportError(path + ": is neither a VCF nor a BCF file");
        checkComplete(file_.get(), path);
        header_.reset(bcf_hdr_read(file_.get()));
        if (header_ == nullptr) throw ImportError(path + ": its header cannot be read");
        if (region) openRegion(format, *region);
    }

    bcf_hdr_t* header() const { return header_.get(); }
    bool isText() const { return hts_get_format(file_.get())->format == vcf; }
    // The chromosomes the index knows; empty when the file is read whole.
    const std::vector<std::string>& indexedChromosomes() const { return indexed_; }

    // Reads the next record; false at the end. Throws ImportError for a record
    // that cannot be read; `after` names the record before it.
    bool next(bcf1_t* record, const std::string& after) {
        const int result = index_ == nullptr && tabix_ == nullptr ? bcf_read(file_.get(), header_.get(), record)
                                                                  : nextInRegion(record);
        if (result >= 0) return true;
        if (result == -1) return false;
        throw ImportError(path_ + ": the record after " + after + " cannot be read (htslib's message above says why)");
    }

private:
    struct Line {
        kstring_t text = {0, 0, nullptr};
        Line() = default;
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;
        ~Line() { std::free(text.s); }
    };

    // Loads the index, when there is one, and notes every name the file
    // gives the region's chromosome ("1", "chr1"): each is queried in turn.
    void openRegion(htsExactFormat format, const Region& region) {
        const char** names = nullptr;
        int count = 0;
        if (format == bcf) {
            index_.reset(bcf_index_load3(path_.c_str(), nullptr, HTS_IDX_SILENT_FAIL));
            if (index_ != nullptr) names = bcf_index_seqnames(index_.get(), header_.get(), &count);
        } else {
            tabix_.reset(tbx_index_load3(path_.c_str(), nullptr, HTS_IDX_SILENT_FAIL));
            if (tabix_ != nullptr) names = tbx_seqnames(tabix_.get(), &count);
        }
        if (index_ == nullptr && tabix_ == nullptr) return;
        const std::unique_ptr<const char*, Release<freeArray>> owned(names);
        region_ = region;
        for (int i = 0; i < count; ++i) {
            indexed_.emplace_back(names[i]);
            if (sameChromosome(indexed_.back(), region.chromosome)) regionNames_.push_back(indexed_.back());
        }
    }

    // The next record of the region, under any of its chromosome's names.
    int nextInRegion(bcf1_t* record) {
        while (true) {
            if (iterator_ == nullptr) {
                if (queried_ == regionNames_.size()) return -1;
                query(regionNames_[queried_++]);
                continue;
            }
            const int result = index_ != nullptr
                                   ? bcf_itr_next(file_.get(), iterator_.get(), record)
                                   : tbx_itr_next(file_.get(), tabix_.get(), iterator_.get(), &line_.text);
            if (result == -1) {
                iterator_.reset();
                continue;
            }
            if (result < 0 || index_ != nullptr) return result;
            return vcf_parse1(&line_.text, header_.get(), record) == 0 ? 0 : -2;
        }
    }

    // Leaves `iterator_` empty when the index has nothing under `name`.
    void query(const std::string& name) {
        const hts_pos_t from = region_.from - 1;
        const hts_pos_t to = region_.whole ? HTS_POS_MAX : region_.to;
        if (index_ != nullptr) {
            iterator_.reset(bcf_itr_queryi(index_.get(), bcf_hdr_name2id(header_.get(), name.c_str()), from, to));
        } else {
            iterator_.reset(tbx_itr_queryi(tabix_.get(), tbx_name2id(tabix_.get(), name.c_str()), from, to));
        }
    }

    std::string path_;
    std::unique_ptr<htsFile, Release<hts_close>> file_;
    std::unique_ptr<bcf_hdr_t, Release<bcf_hdr_destroy>> header_;
    std::unique_ptr<hts_idx_t, Release<hts_idx_destroy>> index_;
    std::unique_ptr<tbx_t, Release<tbx_destroy>> tabix_;
    std::unique_ptr<hts_itr_t, Release<hts_itr_destroy>> iterator_;
    std::vector<std::string> indexed_;
    Region region_;
    std::vector<std::string> regionNames_;
    std::size_t queried_ = 0;  // of regionNames_
    Line line_;
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

// Reads GT although the header does not declare it, as other tools do, and
// says so.
void declareGenotypeField(bcf_hdr_t* header, GenotypeData& data, const std::string& path) {
    const int gtId = bcf_hdr_id2int(header, BCF_DT_ID, "GT");
    if (gtId >= 0 && bcf_hdr_idinfo_exists(header, BCF_HL_FMT, gtId)) return;
    if (bcf_hdr_append(header, "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">") != 0 ||
        bcf_hdr_sync(header) != 0) {
        throw ImportError(path + ": its header declares no GT (genotype) field, and one cannot be added");
    }
    data.warnings.push_back("warning: " + path +
                            ": its header has no ##FORMAT=<ID=GT> line; GT is read as the genotype all the same");
}

// The genotype of one sample: two allele numbers, or missing when an allele
// is missing or the call is haploid (`haploid` is set then). A male's
// haploid call on X (`hemizygous`) is his one allele, read as two equal
// alleles, as PLINK writes it. Throws for a genotype of more than two
// alleles or one that names an allele the record does not have.
Genotype readGenotype(const std::int32_t* values, int valueCount, const bcf1_t* record, const std::string& where,
                      const char* sample, bool hemizygous, bool& haploid) {
    std::int32_t alleles[2] = {0, 0};
    int ploidy = 0;
    bool missing = false;
    for (int k = 0; k < valueCount && values[k] != bcf_int32_vector_end; ++k) {
        const std::int32_t allele =
            values[k] == bcf_int32_missing || bcf_gt_is_missing(values[k]) ? -1 : bcf_gt_allele(values[k]);
        if (allele < 0) missing = true;
        if (ploidy < 2) alleles[ploidy] = allele + 1;
        ++ploidy;
    }
    const bool oneAllele = ploidy == 1 && !missing;
    haploid = oneAllele && !hemizygous;
    if (oneAllele && hemizygous) alleles[1] = alleles[0];
    if (haploid || ploidy < 1 || missing) return {};
    if (ploidy > 2) {
        throw ImportError(where + ": sample " + sample + " has " + std::to_string(ploidy) +
                          " alleles; only diploid genotypes can be imported (leave such markers out with --region or "
                          "--markers)");
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

GenotypeData readVcf(const std::string& vcfPath, const std::string& pedigreePath, const MarkerSelection& selection,
                     const HeldPeople& held) {
    GenotypeData data;
    data.files = vcfPath + " and " + pedigreePath;
    data.genotypeFile = vcfPath;
    data.separatePedigree = true;
    data.people = readPedigreeFile(pedigreePath);
    checkReadable(vcfPath);
    // The import checks for itself what htslib would warn about (a missing
    // end-of-file block, an undeclared GT), and says it in its own words.
    hts_set_log_level(HTS_LOG_ERROR);
    VcfRecords records(vcfPath, selection.region);
    bcf_hdr_t* header = records.header();
    const int sampleCount = bcf_hdr_nsamples(header);
    if (sampleCount == 0) throw ImportError(vcfPath + ": has no samples, so no genotypes");
    declareGenotypeField(header, data, vcfPath);
    matchSamples(header, pedigreePath, data);
    data.table.holdPeople(data.people, held);
    data.chromosomes = records.indexedChromosomes();
    const std::vector<bool> males = findMales(data.people);

    const std::unique_ptr<bcf1_t, void (*)(bcf1_t*)> record(bcf_init(), bcf_destroy);
    std::int32_t* values = nullptr;
    int capacity = 0;
    const std::unique_ptr<std::int32_t*, void (*)(std::int32_t**)> release(&values,
                                                                           [](std::int32_t** p) { std::free(*p); });
    std::string last = "the header";
    while (records.next(record.get(), last)) {
        driver::stopIfInterrupted();
        ++data.markersRead;
        bcf_unpack(record.get(), BCF_UN_STR);
        const std::string chromosome = bcf_hdr_id2name(header, record->rid);
        const std::int64_t position = record->pos + 1;
        const std::string id = record->d.id;
        last = "record " + std::to_string(data.markersRead) + " (" + chromosome + ":" + std::to_string(position) + ")";
        // htslib reads a POS that is not a number as 0.
        if (position < 1) throw ImportError(vcfPath + ", " + last + ": POS is not a whole number of 1 or more");
        // A text line cut before its genotypes parses as a record of a file without samples.
        if (record->n_fmt == 0 && records.isText()) {
            throw ImportError(vcfPath + ", " + last + ": the line ends before the FORMAT and sample columns (the " +
                              "header names " + std::to_string(sampleCount) +
                              " samples); the file is cut or broken there");
        }
        const std::string name = id == "." ? chromosome + ":" + std::to_string(position) : id;
        data.noteMarker(chromosome, !selection.region || selection.region->contains(chromosome, position));
        if (!selection.includes(chromosome, position, name)) continue;

        Locus locus{chromosome, position, name, {}, vcfPath + ", " + last};
        for (int a = 0; a < record->n_allele; ++a) locus.alleles.emplace_back(record->d.allele[a]);
        const int valueCount = bcf_get_genotypes(header, record.get(), &values, &capacity);
        LocusGenotypes genotypes = data.table.addLocus(std::move(locus));
        if (valueCount <= 0) continue;  // no GT at this record: every genotype is missing
        const int perSample = valueCount / sampleCount;
        const bool onX = output::namesChromosomeX(chromosome);
        Locus& added = data.table.loci.back();
        for (std::size_t p = 0; p < data.people.size(); ++p) {
            const std::int32_t s = data.people[p].column;
            if (s < 0) continue;
            // Read even when not held: its problems and haploid calls count all the same.
            bool haploid = false;
            const Genotype genotype = readGenotype(values + s * perSample, perSample, record.get(), added.origin,
                                                   header->samples[s], onX && males[p], haploid);
            added.haploidCalls += haploid;
            const std::int32_t row = data.table.rowOf(static_cast<std::int32_t>(p));
            if (row >= 0) genotypes.set(static_cast<std::size_t>(row), genotype);
        }
    }
    checkRegionMatched(selection, data);
    return data;
}

}  // namespace triotdt::import
