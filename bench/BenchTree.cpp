#include "bench/BenchTree.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/UniqueFd.h"

namespace bench {

namespace {

constexpr int kMinFileSize = 100;
constexpr int kFileSizeSpread = 3900;
constexpr int kOpenDescriptors = 64;

// A fixed pseudo-random sequence, so every run and every machine gets the same tree.
class SizeSequence {
 public:
  int next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return kMinFileSize + static_cast<int>((state_ >> 33) % kFileSizeSpread);
  }

 private:
  std::uint64_t state_ = 42;
};

bool writeFiles(const std::string& folder, int count, SizeSequence& sizes, std::vector<char>& data,
                std::int64_t& bytes) {
  for (int i = 0; i < count; ++i) {
    std::string path = folder + "/file" + std::to_string(i) + ".dat";
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.valid()) return false;
    int size = sizes.next();
    if (::write(fd.get(), data.data(), static_cast<std::size_t>(size)) != size) return false;
    bytes += size;
  }
  return true;
}

int resetEntry(const char* path, const struct stat* status, int type, FTW*) {
  if (type == FTW_SL || type == FTW_SLN) return ::lchown(path, 0, 0) == 0 ? 0 : 1;
  if (::lchown(path, 0, 0) != 0) return 1;
  // nftw hands over a path of an entry just seen as a folder or file; the tree is our own.
  return ::chmod(path, S_ISDIR(status->st_mode) ? 0755 : 0644) == 0 ? 0 : 1;
}

}  // namespace

std::int64_t generateTree(const std::string& root, const TreeShape& shape) {
  if (::mkdir(root.c_str(), 0755) != 0) return -1;
  SizeSequence sizes;
  std::vector<char> data(kMinFileSize + kFileSizeSpread, 'x');
  std::int64_t bytes = 0;
  for (int top = 0; top < shape.topFolders; ++top) {
    std::string topFolder = root + "/top" + std::to_string(top);
    if (::mkdir(topFolder.c_str(), 0755) != 0) return -1;
    if (!writeFiles(topFolder, shape.filesPerFolder, sizes, data, bytes)) return -1;
    for (int sub = 0; sub < shape.subfoldersPerTop; ++sub) {
      std::string folder = topFolder + "/sub" + std::to_string(sub);
      if (::mkdir(folder.c_str(), 0755) != 0) return -1;
      if (!writeFiles(folder, shape.filesPerFolder, sizes, data, bytes)) return -1;
    }
  }
  return bytes;
}

bool resetAttributes(const std::string& root) {
  return ::nftw(root.c_str(), resetEntry, kOpenDescriptors, FTW_PHYS) == 0;
}

bool removeTree(const std::string& root) {
  std::error_code error;
  std::filesystem::remove_all(root, error);
  return !error;
}

}  // namespace bench
