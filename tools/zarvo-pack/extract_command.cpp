#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/entry_content.h"
#include "zarvo-pack/installer_reader.h"
#include "zarvo-pack/staged_file.h"

#include <memory>

namespace zpack {

namespace {

struct Extracted {
  std::unique_ptr<StagedFile> File;
  std::string Name; // as shown
  uint64_t Size = 0;
  bool Dated = false;
  uint32_t DateTime = 0;
};

} // namespace

int RunExtract(const ExtractOptions& options, std::ostream& out, std::ostream& err) {
  OpenedInstaller installer;
  if (std::string problem = OpenInstaller(options.Source, installer); !problem.empty()) {
    err << "zarvo-pack: " << installer.Shown << ": " << problem << "\n";
    return ExitBadInput;
  }
  const ArchiveInfo& archive = installer.Archive;
  if (!archive.CutShort.empty()) {
    err << "zarvo-pack: " << installer.Shown << ": " << archive.CutShort << "; nothing extracted\n";
    return ExitBadInput;
  }
  std::error_code error;
  std::filesystem::create_directories(options.Directory, error);
  if (error) {
    err << "zarvo-pack: " << Utf8FromPath(options.Directory) << ": " << error.message() << "\n";
    return ExitBadInput;
  }

  // Every file is staged first and put in place only once all entries came out well, in
  // archive order, so that a later entry replaces an earlier one of the same name, as the
  // installer's does.
  std::vector<Extracted> files;
  auto fail = [&](const std::string& where, const std::string& why) {
    err << "zarvo-pack: " << installer.Shown << ": " << where << why << "; nothing extracted\n";
    return ExitBadInput;
  };
  for (size_t i = 0; i < archive.Entries.size(); i++) {
    const EntryHeader& e = archive.Entries[i];
    const std::string where = DescribeEntry(i + 1, e) + ": ";
    if (std::string why = CheckEntryName(e.Name); !why.empty()) return fail(where, why);
    EntryData data = DecodeEntry(installer, e);
    if (!data.Problem.empty()) return fail(where, data.Problem);

    Extracted x;
    Bytes installed;
    const Bytes* content = &data.Data;
    std::string name = e.Name;
    x.Dated = options.Raw || e.Kind == EntryKind::Plain;
    if (!options.Raw) {
      const ContentCheck check = CheckContent(e.Kind, data.Data.data(), data.Data.size());
      if (!check.Fatal.empty()) return fail(where, check.Fatal);
      for (const std::string& defect : check.Defects)
        err << "zarvo-pack: " << installer.Shown << ": warning: " << where << defect << "\n";
      installed = InstalledContent(e.Kind, data.Data.data(), data.Data.size(), check);
      content = &installed;
      name = InstalledName(e.Name);
    }
    x.Name = ToUtf8(name, CodePage::Windows1252);
    x.Size = content->size();
    x.DateTime = e.DateTime;
    x.File = std::make_unique<StagedFile>(options.Directory / PathFromUtf8(x.Name));
    std::string problem;
    if (!x.File->Open(problem)) return fail(where, x.Name + " " + problem);
    x.File->Stream().write(reinterpret_cast<const char*>(content->data()),
                           std::streamsize(content->size()));
    if (!x.File->Finish(problem)) return fail(where, x.Name + ": " + problem);
    files.push_back(std::move(x));
  }

  for (Extracted& x : files) {
    std::string problem;
    if (!x.File->Commit(problem)) {
      err << "zarvo-pack: " << Utf8FromPath(x.File->Destination()) << ": " << problem << "\n";
      return ExitBadInput;
    }
    if (x.Dated) {
      auto civil = CivilFromDosDateTime(x.DateTime);
      if (!civil || !SetLastWriteUnix(x.File->Destination(), UnixFromLocalCivil(*civil))) {
        err << "zarvo-pack: warning: " << Utf8FromPath(x.File->Destination())
            << ": keeps the time of extraction (" << FormatDosDateTime(x.DateTime) << ")\n";
      }
    }
    out << Utf8FromPath(x.File->Destination()) << " (" << x.Size << " bytes)\n";
  }
  return ExitOk;
}

} // namespace zpack
