#include "shard/manifest.h"

#include <charconv>

#include "io/file_text.h"
#include "io/run_error.h"

namespace triotdt::shard {
namespace {

constexpr const char* firstLine = "triotdt shard manifest";

std::string sumFields(const FileSum& sum) { return std::to_string(sum.byteCount) + '\t' + hexChecksum(sum.checksum); }

class ManifestParser {
public:
    ManifestParser(std::string_view text, const std::string& where) : text_(text), where_(where) {}

    Manifest parse() {
        Manifest manifest;
        expectLine(firstLine);
        manifest.version = std::string(field("version", 1).at(0));
        const auto input = field("input", 3);
        if (input[0] != "tdtinput.dat") fail("the input is not tdtinput.dat");
        manifest.input = fileSum(input[1], input[2]);
        if (text_.starts_with("sexes\t")) {
            const auto sexes = field("sexes", 3);
            if (sexes[0] != "tdtsex.tsv") fail("the children's sexes are not tdtsex.tsv");
            manifest.sexes = fileSum(sexes[1], sexes[2]);
        }
        const auto shard = field("shard", 2);
        manifest.shard = ShardNumber{integer(shard[0]), integer(shard[1])};
        manifest.lociCount = integer(field("loci", 1)[0]);
        const std::optional<window::WindowSizes> sizes = window::WindowSizes::parse(field("sizes", 1)[0]);
        if (!sizes) fail("the window sizes are not a list of sizes from 1 to 7");
        manifest.sizes = *sizes;
        manifest.rule = resamplingRule();
        for (std::int32_t size = 1; size <= window::largestWindowSize(manifest.lociCount); ++size) {
            const auto span = field("windows", 3);
            manifest.windows.push_back(window::WindowSpan{integer(span[0]), integer(span[1]), integer(span[2])});
            if (manifest.windows.back().size != size) fail("the window sizes are out of turn");
        }
        for (;;) {
            const std::vector<std::string_view> fields = nextLine();
            if (fields.size() == 1 && fields[0] == "end") break;
            if (fields.size() != 4 || fields[0] != "part") fail("expected a part or the end");
            manifest.parts.push_back(PartRecord{std::string(fields[1]), fileSum(fields[2], fields[3])});
        }
        if (!text_.empty()) fail("there is text after the end");
        return manifest;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw io::InputRefused(where_ + ", line " + std::to_string(line_) + ": " + why + "\n");
    }

    std::vector<std::string_view> nextLine() {
        const std::size_t end = text_.find('\n');
        if (end == std::string_view::npos) {
            ++line_;
            fail("the manifest is cut short");
        }
        const std::string_view line = text_.substr(0, end);
        text_.remove_prefix(end + 1);
        ++line_;
        return io::splitFields(line, '\t');
    }

    void expectLine(std::string_view wanted) {
        const std::vector<std::string_view> fields = nextLine();
        if (fields.size() != 1 || fields[0] != wanted) fail("this is not a shard manifest");
    }

    // The values of a line "KEY<TAB>value...", with exactly `count` values.
    std::vector<std::string_view> field(std::string_view key, std::size_t count) {
        std::vector<std::string_view> fields = nextLine();
        if (fields.empty() || fields[0] != key || fields.size() != count + 1) {
            fail("expected '" + std::string(key) + "' with " + std::to_string(count) + " value(s)");
        }
        fields.erase(fields.begin());
        return fields;
    }

    // "stream run" or "stream counter SEED", then "replicates fixed" or
    // "replicates adaptive MAX".
    resampling::ResamplingRule resamplingRule() {
        resampling::ResamplingRule rule;
        const std::vector<std::string_view> stream = nextLine();
        if (stream.size() == 3 && stream[0] == "stream" && stream[1] == "counter") {
            rule.seed = integer<std::uint64_t>(stream[2]);
        } else if (stream.size() != 2 || stream[0] != "stream" || stream[1] != "run") {
            fail("expected 'stream' with 'run' or 'counter' and a seed");
        }
        const std::vector<std::string_view> replicates = nextLine();
        if (replicates.size() == 3 && replicates[0] == "replicates" && replicates[1] == "adaptive" && rule.seed) {
            rule.maxReplicates = integer(replicates[2]);
            if (rule.maxReplicates < 1) fail("the most replicates must be 1 or more");
        } else if (replicates.size() != 2 || replicates[0] != "replicates" || replicates[1] != "fixed") {
            fail(
                "expected 'replicates' with 'fixed', or with 'adaptive' and the most replicates after a counter stream");
        }
        const std::string_view familyWise = field("familywise", 1)[0];
        if (familyWise != "no" && (familyWise != "yes" || !rule.seed)) {
            fail("expected 'familywise' with 'no', or 'yes' after a counter stream");
        }
        rule.familyWise = familyWise == "yes";
        return rule;
    }

    template <class Integer = std::int32_t>
    Integer integer(std::string_view text) const {
        Integer value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
            fail("'" + std::string(text) + "' is not a whole number");
        }
        return value;
    }

    FileSum fileSum(std::string_view bytes, std::string_view checksum) const {
        FileSum sum;
        const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), sum.byteCount);
        if (error != std::errc() || end != bytes.data() + bytes.size() || bytes.empty()) {
            fail("'" + std::string(bytes) + "' is not a byte count");
        }
        if (!parseHexChecksum(checksum, sum.checksum)) fail("'" + std::string(checksum) + "' is not a checksum");
        return sum;
    }

    std::string_view text_;
    const std::string& where_;
    std::int64_t line_ = 0;
};

}  // namespace

std::string formatManifest(const Manifest& manifest) {
    std::string text = std::string(firstLine) + '\n';
    text += "version\t" + manifest.version + '\n';
    text += "input\ttdtinput.dat\t" + sumFields(manifest.input) + '\n';
    if (manifest.sexes) text += "sexes\ttdtsex.tsv\t" + sumFields(*manifest.sexes) + '\n';
    text += "shard\t" + std::to_string(manifest.shard.index) + '\t' + std::to_string(manifest.shard.count) + '\n';
    text += "loci\t" + std::to_string(manifest.lociCount) + '\n';
    text += "sizes\t" + manifest.sizes.text() + '\n';
    text += manifest.rule.seed ? "stream\tcounter\t" + std::to_string(*manifest.rule.seed) + '\n' : "stream\trun\n";
    text += manifest.rule.adaptive() ? "replicates\tadaptive\t" + std::to_string(manifest.rule.maxReplicates) + '\n'
                                     : "replicates\tfixed\n";
    text += std::string("familywise\t") + (manifest.rule.familyWise ? "yes" : "no") + '\n';
    for (const window::WindowSpan& span : manifest.windows) {
        text += "windows\t" + std::to_string(span.size) + '\t' + std::to_string(span.firstStart) + '\t' +
                std::to_string(span.lastStart) + '\n';
    }
    for (const PartRecord& part : manifest.parts) text += "part\t" + part.name + '\t' + sumFields(part.sum) + '\n';
    text += "end\n";
    return text;
}

Manifest parseManifest(std::string_view text, const std::string& where) { return ManifestParser(text, where).parse(); }

std::string describeOptions(const Manifest& manifest) {
    std::string options;
    if (!manifest.sizes.all()) options += " --window-sizes " + manifest.sizes.text();
    if (manifest.rule.seed) options += " --seed " + std::to_string(*manifest.rule.seed);
    if (manifest.rule.adaptive()) options += " --adaptive " + std::to_string(manifest.rule.maxReplicates);
    if (manifest.rule.familyWise) options += " --family-wise";
    return options.empty() ? options : options.substr(1);
}

}  // namespace triotdt::shard
