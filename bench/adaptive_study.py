#!/usr/bin/env python3
"""Evidence that the p-values of the counter-based stream and of adaptive
replicates are right, and what they cost beside PLINK 1.07 on one-SNP windows.

    bench/adaptive_study.py [--parts calibration,adaptive,plink] [--datasets N]
                            [--build DIR] [--work DIR]

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

Needs build/triotdt and build/bench/generate_input (cmake -DTRIOTDT_BENCH=ON,
or bench/run.sh once), python3, and plink1 (Debian package plink) for the
last part. Prints its findings; the README quotes them.
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
    parser.add_argument("--parts", default="calibration,adaptive,plink")
    parser.add_argument("--datasets", type=int, default=1000)
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


if __name__ == "__main__":
    main()
