// Times the attribute repair and the merging folder copy against the coreutils commands that do
// the same work (chown -R then chmod -R; cp -a), side by side on one generated tree, and
// reports medians, ratios and peak memory. The repair is timed twice per run: on a tree where
// every entry needs a change, then again on the same tree, now right. Every measured operation runs as its own process,
// ours included, so start-up and peak RSS are counted the same way for both sides.
//
//   rcp_tree_bench [--dir FOLDER] [--runs N] [--owner USER] [--top N] [--copy no]
//
// --owner (default daemon) is the owner the repair gives, and owns the folder the copy goes
// into, so that ours copies as that user. --top sets the number of top folders (default 50),
// each with 99 subfolders, every folder with 10 files; smaller values make a quick check. "--copy no" leaves out the folder copy.
// The tree goes into a fresh folder below FOLDER (default: bench-tmp in the build tree) and is
// removed at the end. Needs root (it changes owners) and the group "admin".
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchTree.h"
#include "bench/TimedChild.h"
#include "installer/support/InstallUtil.h"

namespace {

constexpr int kTopFolders = 50;  // with 99 subfolders each: 5,000 folders, 50,000 files
constexpr int kSubfoldersPerTop = 99;
constexpr int kFilesPerFolder = 10;
constexpr double kRepairTarget = 1.0;        // every entry needs a change
constexpr double kRepeatRepairTarget = 0.5;  // a second repair of the same, already right tree
constexpr double kCopyTarget = 1.2;

struct Options {
  std::string dir = RCP_BINARY_DIR "/bench-tmp";
  int runs = 5;
  std::string owner = "daemon";
  int topFolders = kTopFolders;
  bool copy = true;
  bench::TreeShape tree() const { return {topFolders, kSubfoldersPerTop, kFilesPerFolder}; }
  // A tenth of the tree, for showing that peak memory does not grow with it.
  bench::TreeShape smallTree() const { return {std::max(1, topFolders / 10), kSubfoldersPerTop, kFilesPerFolder}; }
};

struct Samples {
  std::vector<double> seconds;
  long peakRssKb = 0;
  void add(double s, long rss) {
    seconds.push_back(s);
    peakRssKb = std::max(peakRssKb, rss);
  }
  double median() const {
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    std::size_t n = sorted.size();
    if (n == 0) return 0;
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
};

// One kind of repair: ours, and chown -R followed by chmod -R (the two added up per run).
struct RepairSamples {
  Samples ours, chown, chmod, coreutils;
};

struct Results {
  RepairSamples repair;  // every entry needs a change
  RepairSamples repeat;  // the same tree again, already right
  Samples oursCopy, cp;
  long smallOursRepairKb = 0, smallOursCopyKb = 0;
};

int runChild(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[2], "repair") == 0) {
    return support::InstallUtil::changeAttributesForDirectory(argv[3]) ? 0 : 1;
  }
  if (argc == 5 && std::strcmp(argv[2], "copy") == 0) {
    support::InstallUtil::copyFolderFromTo(argv[3], argv[4]);
    return 0;
  }
  return 2;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--dir") options.dir = argv[i + 1];
    else if (name == "--runs") options.runs = std::max(1, std::atoi(argv[i + 1]));
    else if (name == "--owner") options.owner = argv[i + 1];
    else if (name == "--top") options.topFolders = std::max(1, std::atoi(argv[i + 1]));
    else if (name == "--copy") options.copy = std::strcmp(argv[i + 1], "no") != 0;
    else return false;
  }
  return argc % 2 == 1;
}

std::string selfPath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

bool fail(const char* what) {
  std::fprintf(stderr, "rcp_tree_bench: %s\n", what);
  return false;
}

// Measures one program; an unset measure marks the whole run as failed.
bool measure(Samples& samples, const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
  auto result = bench::runTimed(argv, env);
  if (!result) return fail(("failed: " + argv[0] + " " + argv[1]).c_str());
  samples.add(result->seconds, result->peakRssKb);
  return true;
}

bool prepareRepair(const std::string& tree) {
  if (!bench::resetAttributes(tree)) return fail("cannot reset the tree's attributes");
  ::sync();  // earlier writes must not be flushed while the next command is timed
  return true;
}

bool measureCoreutils(RepairSamples& samples, const Options& options, const std::string& tree) {
  std::size_t before = samples.chown.seconds.size();
  if (!measure(samples.chown, {"chown", "-R", options.owner + ":admin", tree}) ||
      !measure(samples.chmod, {"chmod", "-R", "775", tree})) {
    return false;
  }
  samples.coreutils.add(samples.chown.seconds[before] + samples.chmod.seconds[before], 0);
  return true;
}

// Each side repairs the reset tree, then repairs it once more, now that it is right.
bool repairRound(Results& results, const Options& options, const std::string& self, const std::string& tree,
                 bool oursFirst) {
  const std::vector<std::string> repair = {self, "--child", "repair", tree};
  const std::vector<std::string> env = {"USER=" + options.owner};
  auto ours = [&] {
    return prepareRepair(tree) && measure(results.repair.ours, repair, env) && (::sync(), true) &&
           measure(results.repeat.ours, repair, env);
  };
  auto coreutils = [&] {
    return prepareRepair(tree) && measureCoreutils(results.repair, options, tree) && (::sync(), true) &&
           measureCoreutils(results.repeat, options, tree);
  };
  return oursFirst ? ours() && coreutils() : coreutils() && ours();
}

bool copyRound(Results& results, const std::string& self, const std::string& tree, const std::string& copy,
               bool oursFirst) {
  auto finish = [&] {
    bool removed = bench::removeTree(copy);
    ::sync();
    return removed || fail("cannot remove the copy");
  };
  auto ours = [&] { return measure(results.oursCopy, {self, "--child", "copy", tree, copy}) && finish(); };
  auto cp = [&] { return measure(results.cp, {"cp", "-a", tree, copy}) && finish(); };
  return oursFirst ? ours() && cp() : cp() && ours();
}

bool measureSmallTree(Results& results, const Options& options, const std::string& self, const std::string& work) {
  std::string tree = work + "/small";
  std::string copy = work + "/small-copy";
  if (bench::generateTree(tree, options.smallTree()) < 0) return fail("cannot generate the small tree");
  Samples repair, copied;
  bool ok = prepareRepair(tree) && measure(repair, {self, "--child", "repair", tree}, {"USER=" + options.owner}) &&
            (!options.copy || measure(copied, {self, "--child", "copy", tree, copy}));
  results.smallOursRepairKb = repair.peakRssKb;
  results.smallOursCopyKb = copied.peakRssKb;
  return (!options.copy || bench::removeTree(copy)) && bench::removeTree(tree) && ok;
}

void reportRepair(const char* name, const RepairSamples& r, double target, const Options& options) {
  double ratio = r.ours.median() / r.coreutils.median();
  std::printf("%-26s %10.3f %12.3f %7.2f %6s%.2f  %s\n", name, r.ours.median(), r.coreutils.median(), ratio,
              "<= ", target, ratio <= target ? "met" : "MISSED");
  std::printf("%-26s %10s %12.3f %7s %10s  chown -R %s:admin\n", "", "", r.chown.median(), "", "",
              options.owner.c_str());
  std::printf("%-26s %10s %12.3f %7s %10s  chmod -R 775\n", "", "", r.chmod.median(), "", "");
}

void report(const Results& r, const Options& options, std::int64_t bytes) {
  std::printf("tree: %d files in %d folders, %.1f MB; %d runs each, order alternating; medians\n\n",
              options.tree().files(), options.tree().folders(), static_cast<double>(bytes) / 1e6, options.runs);
  std::printf("%-26s %10s %12s %7s %10s\n", "operation", "ours (s)", "coreutils(s)", "ratio", "target");
  reportRepair("repair, every entry", r.repair, kRepairTarget, options);
  reportRepair("repair, already right", r.repeat, kRepeatRepairTarget, options);
  if (options.copy) {
    double copyRatio = r.oursCopy.median() / r.cp.median();
    std::printf("%-26s %10.3f %12.3f %7.2f %6s%.2f  %s (cp -a)\n", "folder copy", r.oursCopy.median(),
                r.cp.median(), copyRatio, "<= ", kCopyTarget, copyRatio <= kCopyTarget ? "met" : "MISSED");
  }
  std::printf("\npeak RSS (KB)              %10s %12s\n", "ours", "coreutils");
  std::printf("%-26s %10ld %12ld  (chown %ld, chmod %ld)\n", "repair, every entry", r.repair.ours.peakRssKb,
              std::max(r.repair.chown.peakRssKb, r.repair.chmod.peakRssKb), r.repair.chown.peakRssKb,
              r.repair.chmod.peakRssKb);
  if (options.copy) {
    std::printf("%-26s %10ld %12ld\n", "folder copy", r.oursCopy.peakRssKb, r.cp.peakRssKb);
  }
  std::printf("ours on a tree a tenth the size (%d files): repair %ld KB", options.smallTree().files(),
              r.smallOursRepairKb);
  if (options.copy) std::printf(", copy %ld KB", r.smallOursCopyKb);
  std::printf("\n");
}

bool checkPrerequisites(const Options& options) {
  if (::geteuid() != 0) return fail("run as root: the repair changes owners");
  if (::getgrnam("admin") == nullptr) return fail("the group \"admin\" is missing (groupadd admin)");
  if (::getpwnam(options.owner.c_str()) == nullptr) return fail("the owner given with --owner does not exist");
  return true;
}

bool runBenchmark(const Options& options, const std::string& work) {
  std::string self = selfPath();
  std::string tree = work + "/tree";
  // The copy goes into a folder of the --owner user's, so that ours makes every entry as that
  // user, switching credentials for each (as an installation into a user's instance does).
  std::string copyParent = work + "/owners";
  std::string copy = copyParent + "/copy";
  const struct passwd* owner = ::getpwnam(options.owner.c_str());
  if (owner == nullptr || ::mkdir(copyParent.c_str(), 0755) != 0 ||
      ::chown(copyParent.c_str(), owner->pw_uid, owner->pw_gid) != 0) {
    return fail("cannot make the copy's folder for the owner");
  }
  bench::TreeShape shape = options.tree();
  std::fprintf(stderr, "generating %d files in %d folders under %s\n", shape.files(), shape.folders(), work.c_str());
  std::int64_t bytes = bench::generateTree(tree, shape);
  if (bytes < 0) return fail("cannot generate the tree");
  Results results;
  for (int run = 0; run < options.runs; ++run) {
    std::fprintf(stderr, "run %d of %d\n", run + 1, options.runs);
    bool oursFirst = run % 2 == 0;
    if (!repairRound(results, options, self, tree, oursFirst)) return false;
    if (options.copy && !copyRound(results, self, tree, copy, oursFirst)) return false;
  }
  if (!measureSmallTree(results, options, self, work)) return false;
  report(results, options, bytes);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return runChild(argc, argv);
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--dir FOLDER] [--runs N] [--owner USER] [--top N] [--copy no]\n", argv[0]);
    return 2;
  }
  if (!checkPrerequisites(options)) return 1;
  std::error_code error;
  std::filesystem::create_directories(options.dir, error);
  std::string work = options.dir + "/rcp-tree-bench-" + std::to_string(::getpid());
  if (error || ::mkdir(work.c_str(), 0755) != 0) {
    std::fprintf(stderr, "rcp_tree_bench: cannot make %s\n", work.c_str());
    return 1;
  }
  bool ok = runBenchmark(options, work);
  if (!bench::removeTree(work)) std::fprintf(stderr, "rcp_tree_bench: could not remove %s\n", work.c_str());
  return ok ? 0 : 1;
}
