// XML documents that Debian packages ship (the shared MIME database, the keyboard layout rules),
// as they are and re-encoded into legacy charsets, loaded and saved as install manifests: the
// canonical form that xmllint gives of the saved file must equal that of the file loaded.
// Documents are canonicalized in batches (one xmllint run each); a batch that differs is
// compared file by file to name the documents that changed.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "common/FileHelpers.h"
#include "common/ProgramOutput.h"
#include "common/TempDir.h"
#include "installer/formats/InstallManifest.h"
#include "formats/IconvText.h"

namespace {

using testing_support::readWholeFile;

namespace fs = std::filesystem;
using testing_support::TempDir;

// Every n-th generated MIME type keeps the run to seconds; the package's own sources and the
// layout rules are taken whole.
constexpr std::size_t kMimeTypeStride = 8;
constexpr std::size_t kBatchSize = 100;
const char* const kRulesFolder = "/usr/share/X11/xkb/rules";
const char* const kEncodings[] = {"windows-1252", "ISO-8859-15", "UTF-16",   "Big5",
                                  "GB2312",       "Shift_JIS",   "TIS-620",  "windows-1250"};

std::vector<std::string> xmlFilesIn(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file() && !entry.is_symlink() && entry.path().extension() == ".xml") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> corpusFiles() {
  std::vector<std::string> files = xmlFilesIn("/usr/share/mime/packages");
  std::vector<std::string> mimeTypes;
  std::error_code error;
  for (const fs::directory_entry& media : fs::directory_iterator("/usr/share/mime", error)) {
    if (!media.is_directory() || media.path().filename() == "packages") continue;
    for (const std::string& file : xmlFilesIn(media.path())) mimeTypes.push_back(file);
  }
  std::sort(mimeTypes.begin(), mimeTypes.end());
  for (std::size_t i = 0; i < mimeTypes.size(); i += kMimeTypeStride) files.push_back(mimeTypes[i]);
  for (const std::string& file : xmlFilesIn(kRulesFolder)) files.push_back(file);
  return files;
}

std::string withDeclaredEncoding(const std::string& document, const std::string& encoding) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>";
  if (document.rfind("<?xml", 0) != 0) return declaration + "\n" + document;
  return declaration + document.substr(document.find("?>") + 2);
}

// A line that holds one element with its text and nothing else, so that dropping it leaves
// the document well-formed.
bool isWholeElementLine(const std::string& line) {
  const std::size_t open = line.find_first_not_of(" \t");
  const std::size_t close = line.find_last_not_of(" \t");
  if (open == std::string::npos || line[open] != '<' || line[close] != '>') return false;
  const std::size_t nameEnd = line.find_first_of(" \t>", open);
  const std::string endTag = "</" + line.substr(open + 1, nameEnd - open - 1) + ">";
  return std::count(line.begin(), line.end(), '<') == 2 &&
         line.compare(close + 1 - endTag.size(), endTag.size(), endTag) == 0;
}

// The document in `encoding`: UTF-16 whole; a legacy charset without the lines whose
// characters it cannot hold (one translation per line in these files). None when such a line
// is not a whole element.
std::optional<std::string> reencoded(const std::string& document, const std::string& encoding) {
  const std::string text = withDeclaredEncoding(document, encoding);
  if (encoding == "UTF-16") return testing_support::iconvFromUtf8(text, "UTF-16");
  std::string out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::optional<std::string> bytes = testing_support::iconvFromUtf8(line + "\n", encoding.c_str());
    if (bytes) {
      out += *bytes;
    } else if (!isWholeElementLine(line)) {
      return std::nullopt;
    }
  }
  return out;
}

bool beyondAscii(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
}

struct Canonical {
  bool accepted;
  std::string form;
};

// The layout rules name their DTD by a relative path, looked up in their own folder too.
Canonical canonical(const std::vector<std::string>& paths) {
  std::vector<std::string> command = {"xmllint", "--noblanks", "--c14n", "--path", kRulesFolder};
  command.insert(command.end(), paths.begin(), paths.end());
  testing_support::ProgramOutput lint = testing_support::runAndCollectOutput(command);
  return {lint.exitStatus == 0, lint.output};
}

struct Document {
  std::string name;   // the system file, with the charset of a re-encoding
  std::string input;  // the file loaded
  std::string saved;  // the file saved; empty when the load or save failed
};

class ManifestCorpusTest : public testing::Test {
 protected:
  // Loads and saves the file as a manifest; false when either step failed.
  bool roundTrip(Document& document) {
    const std::string saved = dir_ / ("saved-" + std::to_string(next_++) + ".xml");
    support::InstallManifest manifest(document.input);
    if (!manifest.saveInstallManifestAs(saved)) return false;
    document.saved = saved;
    return true;
  }

  // The layout rules name an external DTD, which makes the file itself no manifest: it is
  // refused, and the corpus takes it with the document type's external identifier left out.
  std::string withoutExternalDtd(const std::string& path) {
    const std::string text = readWholeFile(path);
    const std::string inner =
        std::regex_replace(text, std::regex("<!DOCTYPE (\\w+) SYSTEM \"[^\"]*\">"), "<!DOCTYPE $1>");
    if (inner == text) return path;
    EXPECT_FALSE(support::InstallManifest(path).saveInstallManifestAs(dir_ / "refused.xml")) << path;
    ++refusedExternal_;
    const std::string copy = dir_ / ("inner-" + std::to_string(next_++) + ".xml");
    std::ofstream(copy, std::ios::binary) << inner;
    return copy;
  }

  void addOriginal(const std::string& path, const std::string& input) {
    Document document{path, input, ""};
    if (!roundTrip(document)) {
      ADD_FAILURE() << "not loaded and saved: " << path;
      return;
    }
    documents_.push_back(document);
    ++originals_;
  }

  void addReencodings(const std::string& path, const std::string& input) {
    const std::string text = readWholeFile(input);
    for (const std::string encoding : kEncodings) {
      std::optional<std::string> bytes = reencoded(text, encoding);
      if (!bytes) continue;
      Document document{path + " in " + encoding,
                        dir_ / ("input-" + std::to_string(next_++) + ".xml"), ""};
      std::ofstream(document.input, std::ios::binary) << *bytes;
      if (!roundTrip(document)) {
        ADD_FAILURE() << "not loaded and saved: " << document.name;
        continue;
      }
      documents_.push_back(document);
      ++reencodings_[encoding];
      if (encoding != "UTF-16" && beyondAscii(*bytes)) ++beyondAscii_[encoding];
    }
  }

  // The names of the documents whose saved form differs.
  std::vector<std::string> changedDocuments() const {
    std::vector<std::string> changed;
    for (std::size_t start = 0; start < documents_.size(); start += kBatchSize) {
      std::vector<const Document*> batch;
      for (std::size_t i = start; i < std::min(start + kBatchSize, documents_.size()); ++i) {
        batch.push_back(&documents_[i]);
      }
      if (sameCanonicalForms(batch)) continue;
      for (const Document* document : batch) {
        if (!sameCanonicalForms({document})) changed.push_back(document->name);
      }
    }
    return changed;
  }

  static bool sameCanonicalForms(const std::vector<const Document*>& batch) {
    std::vector<std::string> inputs, saved;
    for (const Document* document : batch) {
      inputs.push_back(document->input);
      saved.push_back(document->saved);
    }
    Canonical before = canonical(inputs);
    Canonical after = canonical(saved);
    return before.accepted && after.accepted && before.form == after.form;
  }

  TempDir dir_;
  std::size_t next_ = 0;
  std::vector<Document> documents_;
  std::size_t originals_ = 0;
  std::size_t refusedExternal_ = 0;
  std::map<std::string, std::size_t> reencodings_;
  std::map<std::string, std::size_t> beyondAscii_;  // re-encodings holding more than ASCII
};

TEST_F(ManifestCorpusTest, SavedDocumentsKeepTheirCanonicalForm) {
  const std::vector<std::string> files = corpusFiles();
  ASSERT_GE(files.size(), 50u) << "shared-mime-info and xkb-data are installed by build.sh";
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string input = withoutExternalDtd(files[i]);
    addOriginal(files[i], input);
    addReencodings(files[i], input);
  }
  const std::vector<std::string> changed = changedDocuments();
  for (const std::string& name : changed) ADD_FAILURE() << "changed by a load and save: " << name;

  std::cout << "[ corpus   ] " << documents_.size() << " documents loaded and saved: "
            << originals_ << " system files (" << refusedExternal_
            << " refused as they are for their external DTD)";
  for (const auto& [encoding, count] : reencodings_) {
    std::cout << ", " << count << " " << encoding;
    if (encoding != "UTF-16") std::cout << " (" << beyondAscii_[encoding] << " beyond ASCII)";
  }
  std::cout << "; " << changed.size() << " changed\n";
  for (const std::string encoding : kEncodings) {
    EXPECT_GT(reencodings_[encoding], 0u) << "no document re-encoded in " << encoding;
  }
}

}  // namespace
