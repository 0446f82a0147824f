#!/usr/bin/env python3
"""Evidence that the p-values of the counter-based stream, of adaptive
replicates and the family-wise p-values are right, and what they cost beside
PLINK 1.07 on one-SNP windows.

    bench/adaptive_study.py [--parts calibration,adaptive,plink,fwer-null,fwer-power,fwer-block,fwer-combine,fwer-plink]
                            [--datasets N] [--fwer-datasets N] [--build DIR] [--work DIR]

calibration  Type-I error of each statistic at alpha 0.01, 0.05 and 0.1 on N
             null data sets (200 trios x 5 biallelic SNPs with LD, 1,000
             fixed replicates of the counter-based stream, --seed = the data
             set's number). One window of 1 SNP and one of 3 SNPs from each
             data set, so that the tests of each size are independent; each
             rate against the central 95% range of Binomial(N, alpha).
adaptive     The chromosome of 300 trios x 300 SNPs with a risk haplotype at
             SNPs 150-152 (R = 100 in the file, --adaptive 200000): where the
             smallest one-SNP p lies and after how many replicates, the
             replicates of windows far from the block, the bytes on 1 and 2
             threads and of 3 shards merged, and another seed. Then one-SNP
             p-values between 1e-4 and 1e-2, on that chromosome and on eight
             more with weaker blocks, against the chi-square(1) tail of Pe/2
             (Pe at one biallelic SNP is twice McNemar's chi-square).
plink        The same chromosome as .ped/.map beside `plink1 --tdt --perm`
             (adaptive) and `--mperm 1000`: agreement of the p-values, and
             CPU per SNP x trio x replicate at 1,000 fixed replicates, one
             thread each, runs alternating, median of three.

fwer-null    Family-wise error under the global null: N data sets (--fwer-
             datasets) of 200 trios x 100 SNPs with LD (679 windows of 1-7
             SNPs), 200 replicates, --family-wise --seed k: per statistic the
             share of data sets with any family-wise p <= 0.05 against the
             95% range of Binomial(N, 0.05), the distribution of each set's
             smallest family-wise p against the uniform, beside Bonferroni on
             the same reference tails; fwer never below the raw p; and the
             first 30 sets alone.
fwer-power   Planted risk blocks of rising effect (20 chromosomes of 300
             trios x 300 SNPs each): the share in which a window within 5
             SNPs of the block is family-wise significant, beside Bonferroni
             on the same runs' reference tails, and the two thresholds.
fwer-block   One block of transmission odds 2.5 (--risk 0.43): family-wise
             significant; 3 shards merged give the whole run's bytes.
fwer-combine Two chromosomes imported from one VCF (generate_vcf
             --chromosomes 2, a block on chromosome 2): combine's genome-wide
             p never below the chromosome's, the block still significant;
             runs of different seeds refused, nothing written.
fwer-plink   --window-sizes 1 beside `plink1 --tdt --mperm 1000` (EMP2, the
             max(T) family-wise p) on the chromosome with a risk block, at
             1,000 replicates: agreement within Monte Carlo error at every
             SNP whose EMP2 is below 0.5.

Needs build/triotdt, build/bench/generate_input and generate_vcf (cmake
-DTRIOTDT_BENCH=ON, or bench/run.sh once), python3, and plink1 (Debian package
plink) for the PLINK parts. Prints its findings; the README quotes them.
"""

import argparse
import math
import os
import resource
import shutil
import statistics
import subprocess
import sys

STATISTICS = ["Punamb", "Pg", "Pe", "Pc", "Pem"]


class Study:
    def __init__(self, build, work):
        self.program = os.path.abspath(os.path.join(build, "triotdt"))
        self.generator = os.path.abspath(os.path.join(build, "bench", "generate_input"))
        self.work = os.path.abspath(work)
        for tool in (self.program, self.generator):
            if not os.access(tool, os.X_OK):
                sys.exit("adaptive_study: %s is missing; build with -DTRIOTDT_BENCH=ON" % tool)
        os.makedirs(self.work, exist_ok=True)

    def folder(self, name, settings):
        """A fresh folder holding tdtinput.dat generated with `settings`."""
        path = os.path.join(self.work, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        with open(os.path.join(path, "tdtinput.dat"), "w") as out:
            subprocess.run([self.generator] + settings.split(), stdout=out, check=True)
        return path

    def run(self, folder, *args):
        """Runs triotdt in `folder`; returns its CPU seconds (user + system)."""
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run([self.program] + list(args), cwd=folder, stdout=subprocess.DEVNULL, check=True)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        return after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def read_table(path):
    with open(path) as f:
        names = f.readline().rstrip("\n").split("\t")
        return [dict(zip(names, line.rstrip("\n").split("\t"))) for line in f]


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def chi2_1_tail(x):
    return math.erfc(math.sqrt(max(x, 0.0) / 2.0))


def binomial_range(n, p, level=0.95):
    """The central range of Binomial(n, p): counts whose lower and upper tails both exceed (1 - level) / 2."""
    pmf = [math.exp(math.lgamma(n + 1) - math.lgamma(k + 1) - math.lgamma(n - k + 1) + k * math.log(p)
                    + (n - k) * math.log1p(-p)) for k in range(n + 1)]
    tail = (1.0 - level) / 2.0
    low, below = 0, 0.0
    while below + pmf[low] <= tail:
        below += pmf[low]
        low += 1
    high, above = n, 0.0
    while above + pmf[high] <= tail:
        above += pmf[high]
        high -= 1
    return low, high


def calibration(study, datasets):
    print("## Null calibration: %d data sets of 200 trios x 5 SNPs (LD 0.7), 1,000 fixed replicates, --seed k" % datasets)
    alphas = [0.01, 0.05, 0.1]
    counts = {(size, s, a): 0 for size in (1, 3) for s in STATISTICS for a in alphas}
    for k in range(1, datasets + 1):
        folder = study.folder("null", "--families 200 --loci 5 --allele-count 2 --replicates 1000 --seed %d" % (1000 + k))
        study.run(folder, "--seed", str(k), "--window-sizes", "1,3", "--threads", "1", "--table", "t.tsv")
        for row in read_table(os.path.join(folder, "t.tsv")):
            if row["first_locus"] != "1":
                continue
            size = int(row["window_size"])
            for s in STATISTICS:
                for a in alphas:
                    counts[(size, s, a)] += float(row["p_" + s]) <= a
    outside = 0
    for size in (1, 3):
        print("window of %d SNP%s: share of data sets with p <= alpha (95%% binomial range)" % (size, "s" * (size > 1)))
        print("  %-7s" % "alpha" + "".join("%20s" % s for s in STATISTICS))
        for a in alphas:
            low, high = binomial_range(datasets, a)
            cells = []
            for s in STATISTICS:
                c = counts[(size, s, a)]
                inside = low <= c <= high
                outside += not inside
                cells.append("%.3f%s" % (c / datasets, "" if inside else " (out)"))
            print("  %-7s" % a + "".join("%20s" % cell for cell in cells) + "   range %.3f-%.3f" % (low / datasets, high / datasets))
    print("rates outside their 95%% range: %d of %d (about %.1f expected by chance)" % (outside, 2 * 15, 0.05 * 30))


CHROMOSOME = "--families 300 --loci 300 --allele-count 2 --seed 7 --risk 0.3 --risk-at 150"


def adaptive(study):
    print("## Adaptive replicates: 300 trios x 300 SNPs, risk block at SNPs 150-152, R = 100, --adaptive 200000")
    base = study.folder("chromosome", CHROMOSOME + " --replicates 100")
    runs = {}
    for name, args in (("threads1", ["--threads", "1"]), ("threads2", ["--threads", "2"]), ("seed2", ["--seed", "2"])):
        folder = os.path.join(study.work, "chromosome-" + name)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(base, folder)
        cpu = study.run(folder, "--adaptive", "200000", "--table", "t.tsv", *args)
        runs[name] = folder
        print("  run %-9s CPU %.2f s" % (name, cpu))
    rows = read_table(os.path.join(runs["threads1"], "t.tsv"))
    single = [r for r in rows if r["window_size"] == "1"]
    best = min(single, key=lambda r: (float(r["p_Pe"]), -float(r["stat_Pe"])))
    print("  smallest one-SNP p_Pe: %s at SNP %s (Pe %.1f) after %s replicates" % (
        best["p_Pe"], best["first_locus"], float(best["stat_Pe"]), best["replicates"]))
    order = sorted(single, key=lambda r: (float(r["p_Pe"]), -float(r["stat_Pe"])))
    print("  the five smallest one-SNP p_Pe: " + ", ".join(
        "SNP %s %s (%s replicates)" % (r["first_locus"], r["p_Pe"], r["replicates"]) for r in order[:5]))
    far = sorted(int(r["replicates"]) for r in rows if int(r["last_locus"]) < 140 or int(r["first_locus"]) > 162)
    print("  windows of every size more than 10 SNPs from the block: %d, replicates median %d, 99th percentile %d, max %d"
          % (len(far), statistics.median(far), far[int(0.99 * (len(far) - 1))], far[-1]))
    replicates = sorted(int(r["replicates"]) for r in rows)
    print("  all %d windows: replicates median %d, mean %.0f, max %d" % (
        len(rows), statistics.median(replicates), statistics.mean(replicates), replicates[-1]))
    same = all(read_file(os.path.join(runs["threads1"], f)) == read_file(os.path.join(runs["threads2"], f))
               for f in ("tdtout.txt", "tdttran.txt", "t.tsv"))
    print("  --threads 1 and 2: %s" % ("the same bytes" if same else "DIFFERENT"))
    merged = os.path.join(study.work, "chromosome-shards")
    shutil.rmtree(merged, ignore_errors=True)
    shutil.copytree(base, merged)
    for k in (1, 2, 3):
        study.run(merged, "--shard", "%d/3" % k, "--adaptive", "200000")
    study.run(merged, "merge", "--table", "t.tsv", "shard-1-of-3", "shard-2-of-3", "shard-3-of-3")
    same = all(read_file(os.path.join(runs["threads1"], f)) == read_file(os.path.join(merged, f))
               for f in ("tdtout.txt", "tdttran.txt", "t.tsv"))
    print("  3 shards merged: %s" % ("the same bytes as the whole run" if same else "DIFFERENT"))
    seeded = read_table(os.path.join(runs["seed2"], "t.tsv"))
    stats_same = all(a["stat_" + s] == b["stat_" + s] for a, b in zip(rows, seeded) for s in STATISTICS)
    p_moved = sum(a["p_" + s] != b["p_" + s] for a, b in zip(rows, seeded) for s in STATISTICS)
    print("  --seed 2: statistics %s; %d of %d p-values changed" % (
        "unchanged" if stats_same else "CHANGED", p_moved, 5 * len(rows)))

    print("## One-SNP p-values between 1e-4 and 1e-2 against the chi-square(1) tail of Pe/2")
    ratios = []
    for k, setting in enumerate([CHROMOSOME] + ["--families 300 --loci 300 --allele-count 2 --seed %d --risk 0.15 --risk-at %d"
                                                % (20 + k, 40 + 25 * k) for k in range(8)]):
        folder = study.folder("chi2-%d" % k, setting + " --replicates 100")
        study.run(folder, "--adaptive", "200000", "--window-sizes", "1", "--table", "t.tsv")
        for r in read_table(os.path.join(folder, "t.tsv")):
            p = float(r["p_Pe"])
            if 1e-4 <= p <= 1e-2:
                ratios.append(p / chi2_1_tail(float(r["stat_Pe"]) / 2))
    within = sum(0.5 <= x <= 2 for x in ratios)
    print("  %d windows in range; %d (%.0f%%) within a factor of two; ratio p / tail: median %.2f, quartiles %.2f-%.2f"
          % (len(ratios), within, 100.0 * within / max(len(ratios), 1), statistics.median(ratios),
             *statistics.quantiles(ratios, n=4)[0::2]))


def read_familywise(path):
    """tdtfamilywise.tsv: the per-replicate depths (-log10 of the smallest tails) and the window rows."""
    with open(path) as f:
        lines = [line.rstrip("\n") for line in f]
    start = lines.index("windows")
    minima = [[float(x) for x in line.split("\t")[1:]] for line in lines[lines.index(
        next(l for l in lines if l.startswith("minima\t"))) + 1:start]]
    names = lines[start + 1].split("\t")
    rows = [dict(zip(names, line.split("\t"))) for line in lines[start + 2:lines.index("end")]]
    return minima, rows


def smallest_fwer(rows, statistic):
    return min(float(r["fwer_" + statistic]) for r in rows if r["skipped_reason"] == "")


def bonferroni_min(rows, statistic):
    """The smallest Bonferroni-adjusted reference tail over the windows: min(1, W x tail)."""
    analysed = [r for r in rows if r["skipped_reason"] == ""]
    deepest = max(float(r["neg_log10_tail_" + statistic]) for r in analysed)
    return min(1.0, len(analysed) * 10.0 ** -deepest)


def uniform_summary(values):
    """Mean, deciles and the Kolmogorov-Smirnov distance of `values` from the uniform on [0, 1]."""
    ordered = sorted(values)
    n = len(ordered)
    ks = max(max(abs((i + 1) / n - v), abs(i / n - v)) for i, v in enumerate(ordered))
    deciles = [ordered[min(n - 1, int(q * n))] for q in (0.1, 0.25, 0.5, 0.75, 0.9)]
    return statistics.mean(ordered), deciles, ks


def fwer_null(study, datasets):
    print("## Family-wise error under the global null: %d data sets of 200 trios x 100 SNPs (LD 0.7), 679 windows,"
          " 200 replicates, --family-wise --seed k" % datasets)
    smallest = {s: [] for s in STATISTICS}
    bonferroni = {s: [] for s in STATISTICS}
    below_raw = 0
    cpu = 0.0
    for k in range(1, datasets + 1):
        folder = study.folder("fwer-null", "--families 200 --loci 100 --allele-count 2 --replicates 200 --seed %d" % (5000 + k))
        cpu += study.run(folder, "--family-wise", "--seed", str(k))
        _, rows = read_familywise(os.path.join(folder, "tdtfamilywise.tsv"))
        for s in STATISTICS:
            smallest[s].append(smallest_fwer(rows, s))
            bonferroni[s].append(bonferroni_min(rows, s))
        below_raw += sum(float(r["fwer_" + s]) < float(r["p_" + s]) for r in rows if r["skipped_reason"] == ""
                         for s in STATISTICS)
    low, high = binomial_range(datasets, 0.05)
    print("  CPU %.0f s (%.2f s a data set)" % (cpu, cpu / datasets))
    print("  share of data sets with a family-wise p <= 0.05 (95%% range %.3f-%.3f), then Bonferroni on the reference"
          " tails:" % (low / datasets, high / datasets))
    for s in STATISTICS:
        c = sum(p <= 0.05 for p in smallest[s])
        b = sum(p <= 0.05 for p in bonferroni[s])
        mean, deciles, ks = uniform_summary(smallest[s])
        bmean = statistics.mean(bonferroni[s])
        print("    %-6s %.3f%s  smallest fwer: mean %.3f, deciles 10/25/50/75/90%% %s, KS distance %.3f   Bonferroni %.3f,"
              " mean smallest %.3f" % (s, c / datasets, "" if low <= c <= high else " (out)", mean,
                                       "/".join("%.2f" % d for d in deciles), ks, b / datasets, bmean))
    print("  (KS distance below %.3f is within the 95%% band of a uniform sample of %d)" % (1.36 / math.sqrt(datasets), datasets))
    print("  windows x statistics whose family-wise p is below the raw p: %d" % below_raw)
    first = min(30, datasets)
    print("  first %d data sets: %d with fwer_Pe <= 0.05; mean smallest fwer_Pem %.3f" % (
        first, sum(p <= 0.05 for p in smallest["Pe"][:first]), statistics.mean(smallest["Pem"][:first])))


def near_block(row, at, reach=5):
    return int(row["first_locus"]) <= at + 2 + reach and int(row["last_locus"]) >= at - reach


def fwer_power(study, chromosomes=20):
    print("## Power on planted risk blocks: %d chromosomes of 300 trios x 300 SNPs each, risk haplotype at SNPs 150-152,"
          " 200 replicates, --family-wise" % chromosomes)
    for risk in (0.1, 0.15, 0.2, 0.3):
        found = {"family-wise": 0, "Bonferroni": 0}
        critical, bonferroni_line, cpu = [], [], 0.0
        for k in range(chromosomes):
            folder = study.folder("fwer-power", "--families 300 --loci 300 --allele-count 2 --replicates 200 --seed %d"
                                  " --risk %g --risk-at 150" % (7000 + k, risk))
            cpu += study.run(folder, "--family-wise", "--seed", str(k + 1))
            minima, rows = read_familywise(os.path.join(folder, "tdtfamilywise.tsv"))
            analysed = [r for r in rows if r["skipped_reason"] == ""]
            block = [r for r in analysed if near_block(r, 150)]
            found["family-wise"] += any(float(r["fwer_Pem"]) <= 0.05 for r in block)
            line = -math.log10(0.05 / len(analysed))
            found["Bonferroni"] += any(float(r["neg_log10_tail_Pem"]) >= line for r in block)
            depths = sorted((m[STATISTICS.index("Pem")] for m in minima), reverse=True)
            critical.append(depths[int(0.05 * len(depths))])
            bonferroni_line.append(line)
        odds = (0.5 + risk / 2) / (0.5 - risk / 2)
        print("  --risk %-4g (transmission odds %.2f): block found (Pem) family-wise %2d of %d, Bonferroni %2d of %d;"
              " thresholds -log10 tail: maxT median %.2f, Bonferroni %.2f; CPU %.0f s" % (
                  risk, odds, found["family-wise"], chromosomes, found["Bonferroni"], chromosomes,
                  statistics.median(critical), statistics.median(bonferroni_line), cpu))


def fwer_block(study):
    print("## A block of transmission odds 2.5 (--risk 0.43): 300 trios x 300 SNPs, 200 replicates, --family-wise")
    base = study.folder("fwer-block", "--families 300 --loci 300 --allele-count 2 --replicates 200 --seed 7 --risk 0.43"
                        " --risk-at 150")
    whole = os.path.join(study.work, "fwer-block-whole")
    shutil.rmtree(whole, ignore_errors=True)
    shutil.copytree(base, whole)
    study.run(whole, "--family-wise", "--table", "t.tsv")
    _, rows = read_familywise(os.path.join(whole, "tdtfamilywise.tsv"))
    significant = [r for r in rows if r["skipped_reason"] == "" and float(r["fwer_Pem"]) <= 0.05]
    print("  windows with fwer_Pem <= 0.05: %d, from SNP %d to %d; outside SNPs 145-157: %d" % (
        len(significant), min(int(r["first_locus"]) for r in significant), max(int(r["last_locus"]) for r in significant),
        sum(not near_block(r, 150) for r in significant)))
    for k in (1, 2, 3):
        study.run(base, "--shard", "%d/3" % k, "--family-wise")
    study.run(base, "merge", "--table", "t.tsv", "shard-1-of-3", "shard-2-of-3", "shard-3-of-3")
    same = all(read_file(os.path.join(whole, f)) == read_file(os.path.join(base, f))
               for f in ("tdtout.txt", "tdttran.txt", "t.tsv", "tdtfamilywise.tsv"))
    print("  3 shards merged: %s" % ("the same bytes as the whole run (tdtout.txt, tdttran.txt, table, tdtfamilywise.tsv)"
                                     if same else "DIFFERENT"))


def fwer_combine(study):
    print("## combine: two chromosomes imported from one VCF (300 trios x 600 SNPs, a block at SNPs 451-455 of"
          " chromosome 2), 200 replicates")
    folder = os.path.join(study.work, "fwer-combine")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    generator = os.path.join(os.path.dirname(study.generator), "generate_vcf")
    subprocess.run([generator, "--trios", "300", "--markers", "600", "--seed", "3", "--chromosomes", "2", "--risk",
                    "451-455:0.7", "--vcf", "g.vcf", "--pedigree", "g.fam"], cwd=folder, check=True)
    study.run(folder, "import", "--vcf", "g.vcf", "--pedigree", "g.fam", "--replicates", "200")
    for chromosome in ("chr1", "chr2"):
        study.run(os.path.join(folder, chromosome), "--family-wise", "--table", "results.tsv")
    study.run(folder, "combine", "chr1", "chr2", "--table", "genome.tsv", "--plot", "genome.svg")
    genome = read_table(os.path.join(folder, "genome.tsv"))
    below = sum(float(r["genome_fwer_" + s]) < float(r["fwer_" + s]) for r in genome if r["skipped_reason"] == ""
                for s in STATISTICS)
    raised = sum(float(r["genome_fwer_" + s]) > float(r["fwer_" + s]) for r in genome if r["skipped_reason"] == ""
                 for s in STATISTICS)
    block = [r for r in genome if r["chromosome"] == "2" and 146 <= int(r["first_locus"]) <= 155]
    print("  %d windows; genome-wide p below the chromosome's: %d; above it: %d of %d" % (
        len(genome), below, raised, 5 * len(genome)))
    print("  block windows (chromosome 2, SNPs 146-155) with genome_fwer_Pem <= 0.05: %d of %d; chromosome-wide: %d" % (
        sum(float(r["genome_fwer_Pem"]) <= 0.05 for r in block), len(block),
        sum(float(r["fwer_Pem"]) <= 0.05 for r in block)))
    other = os.path.join(folder, "chr2-seed2")
    shutil.rmtree(other, ignore_errors=True)
    os.makedirs(other)
    for name in ("tdtinput.dat", "tdtloci.tsv", "tdttrios.tsv"):
        shutil.copy(os.path.join(folder, "chr2", name), other)
    study.run(other, "--family-wise", "--seed", "2")
    refused = subprocess.run([study.program, "combine", "chr1", "chr2-seed2", "--table", "refused.tsv"], cwd=folder,
                             capture_output=True, text=True)
    print("  chr1 with chr2 run under --seed 2: exit status %d, %s; refused.tsv %s" % (
        refused.returncode, refused.stderr.strip(), "written" if os.path.exists(os.path.join(folder, "refused.tsv"))
        else "not written"))


def fwer_plink(study):
    if shutil.which("plink1") is None:
        print("## fwer-plink: plink1 not found (Debian package plink); skipped")
        return
    print("## Beside PLINK 1.07's max(T) family-wise p (EMP2, --mperm 1000) on the one-SNP windows of the chromosome"
          " with a risk block, 1,000 replicates")
    folder = study.folder("fwer-plink", CHROMOSOME + " --replicates 1000")
    write_ped(folder)
    run_plink(folder, "--mperm", "1000")
    study.run(folder, "--window-sizes", "1", "--family-wise", "--table", "t.tsv")
    theirs, _ = plink_table(os.path.join(folder, "study.tdt.mperm"), "EMP2")
    ours = {"snp" + r["first_locus"]: float(r["fwer_Pe"]) for r in read_table(os.path.join(folder, "t.tsv"))}

    def z(a, b, n=1000):
        return abs(a - b) / math.sqrt(max(a * (1 - a) / n + b * (1 - b) / n, 1.0 / n ** 2))

    below = sorted((emp2, ours[snp], snp) for snp, (emp2, _) in theirs.items() if emp2 < 0.5)
    within2 = sum(z(b, a) <= 2 for b, a, _ in below)
    within3 = sum(z(b, a) <= 3 for b, a, _ in below)
    print("  SNPs with EMP2 below 0.5: %d; fwer_Pe within two Monte Carlo standard errors: %d, within three: %d" % (
        len(below), within2, within3))
    for b, a, snp in below:
        print("    %-7s plink EMP2 %-7.3f triotdt fwer_Pe %-7.4f z %.1f" % (snp, b, a, z(b, a)))


def write_ped(folder):
    """tdtinput.dat of `folder` as PLINK's study.ped and study.map: one family per trio, the child affected."""
    with open(os.path.join(folder, "tdtinput.dat")) as f:
        lines = [line.split() for line in f]
    families, loci = int(lines[0][0]), int(lines[2][0])
    with open(os.path.join(folder, "study.map"), "w") as out:
        for l in range(1, loci + 1):
            out.write("1 snp%d 0 %d\n" % (l, 1000 * l))
    with open(os.path.join(folder, "study.ped"), "w") as out:
        for f in range(families):
            father, mother, child = lines[4 + 3 * f:7 + 3 * f]
            out.write("F%d P%d 0 0 1 1 %s\n" % (f, f, " ".join(father)))
            out.write("F%d M%d 0 0 2 1 %s\n" % (f, f, " ".join(mother)))
            out.write("F%d C%d P%d M%d 1 2 %s\n" % (f, f, f, f, " ".join(child)))
    return families, loci


def plink_table(path, column):
    values = {}
    with open(path) as f:
        names = f.readline().split()
        for line in f:
            fields = line.split()
            values[fields[names.index("SNP")]] = (float(fields[names.index(column)]), fields)
    return values, names


def run_plink(folder, *args):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(["plink1", "--noweb", "--ped", "study.ped", "--map", "study.map", "--tdt", "--out", "study"] + list(args),
                   cwd=folder, stdout=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def plink(study):
    if shutil.which("plink1") is None:
        print("## plink: plink1 not found (Debian package plink); skipped")
        return
    print("## Beside PLINK 1.07 on the one-SNP windows of the chromosome (300 trios x 300 SNPs)")
    folder = study.folder("plink-adaptive", CHROMOSOME + " --replicates 100")
    families, loci = write_ped(folder)
    plink_cpu = run_plink(folder, "--perm")
    ours_cpu = study.run(folder, "--window-sizes", "1", "--adaptive", "1000000", "--threads", "1", "--table", "t.tsv")
    theirs, names = plink_table(os.path.join(folder, "study.tdt.perm"), "EMP1")
    ours = {"snp" + r["first_locus"]: r for r in read_table(os.path.join(folder, "t.tsv"))}
    print("  adaptive: plink1 --tdt --perm CPU %.2f s, permutations median %d, max %d; triotdt --adaptive 1000000 CPU %.2f s,"
          " replicates median %d, max %d" % (
              plink_cpu, statistics.median(int(v[1][names.index("NP")]) for v in theirs.values()),
              max(int(v[1][names.index("NP")]) for v in theirs.values()), ours_cpu,
              statistics.median(int(r["replicates"]) for r in ours.values()),
              max(int(r["replicates"]) for r in ours.values())))
    chisq, _ = plink_table(os.path.join(folder, "study.tdt"), "CHISQ")
    largest = max(abs(chisq[snp][0] - float(r["stat_Pe"]) / 2) / max(chisq[snp][0], 1e-9) for snp, r in ours.items())
    print("  PLINK's CHISQ is Pe/2 at every SNP: largest relative difference %.1g (PLINK prints 4 digits)" % largest)
    # p, replicates behind it: triotdt's and PLINK's.
    pairs = [(float(ours[snp]["p_Pe"]), int(ours[snp]["replicates"]), emp1, int(fields[names.index("NP")]))
             for snp, (emp1, fields) in theirs.items()]
    in_range = sorted(pair for pair in pairs if 1e-4 <= pair[0] <= 1e-2 or 1e-4 <= pair[2] <= 1e-2)
    within = sum(b > 0 and 0.5 <= a / b <= 2 for a, _, b, _ in in_range)

    # The difference in units of its Monte Carlo standard error (binomial, both programs).
    def z(a, n, b, m):
        return abs(a - b) / math.sqrt(max(a * (1 - a) / n + b * (1 - b) / m, 1e-300))

    agree = sum(z(*pair) <= 2 for pair in in_range)
    print("  SNPs with p between 1e-4 and 1e-2 (either program): %d; within a factor of two: %d (%.0f%%); within two"
          " Monte Carlo standard errors: %d" % (len(in_range), within, 100.0 * within / max(len(in_range), 1), agree))
    for a, n, b, m in in_range:
        print("    triotdt p_Pe %-9.3g (%7d replicates)   plink EMP1 %-9.3g (%7d permutations)   z %.1f"
              % (a, n, b, m, z(a, n, b, m)))
    print("  smallest: " + ", ".join("triotdt %.3g / plink %.3g" % (a, b) for a, _, b, _ in sorted(pairs)[:3]))

    print("## CPU at 1,000 fixed replicates, one thread each (median of 3, alternating)")
    fixed = study.folder("plink-fixed", CHROMOSOME + " --replicates 1000")
    write_ped(fixed)
    ours_runs, theirs_runs = [], []
    for _ in range(3):
        for name in ("tdtout.txt", "tdttran.txt"):
            if os.path.exists(os.path.join(fixed, name)):
                os.remove(os.path.join(fixed, name))
        ours_runs.append(study.run(fixed, "--window-sizes", "1", "--seed", "1", "--threads", "1"))
        theirs_runs.append(run_plink(fixed, "--mperm", "1000"))
    units = families * loci * 1000
    a, b = statistics.median(ours_runs), statistics.median(theirs_runs)
    print("  triotdt --window-sizes 1 --seed 1 --threads 1: %.2f s, %.1f ns per SNP x trio x replicate" % (a, 1e9 * a / units))
    print("  plink1 --tdt --mperm 1000:                     %.2f s, %.1f ns per SNP x trio x replicate" % (b, 1e9 * b / units))
    print("  triotdt takes %.1f times less CPU" % (b / a))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--parts", default="calibration,adaptive,plink,fwer-null,fwer-power,fwer-block,fwer-combine,"
                                           "fwer-plink")
    parser.add_argument("--datasets", type=int, default=1000)
    parser.add_argument("--fwer-datasets", type=int, default=300)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--work", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench", "study"))
    options = parser.parse_args()
    study = Study(options.build, options.work)
    parts = options.parts.split(",")
    if "calibration" in parts:
        calibration(study, options.datasets)
    if "adaptive" in parts:
        adaptive(study)
    if "plink" in parts:
        plink(study)
    if "fwer-null" in parts:
        fwer_null(study, options.fwer_datasets)
    if "fwer-power" in parts:
        fwer_power(study)
    if "fwer-block" in parts:
        fwer_block(study)
    if "fwer-combine" in parts:
        fwer_combine(study)
    if "fwer-plink" in parts:
        fwer_plink(study)


if __name__ == "__main__":
    main()
