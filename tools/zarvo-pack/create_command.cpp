#include "zarvo-pack/archive_builder.h"
#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/image_layout.h"
#include "zarvo-pack/staged_file.h"
#include "zarvo-pack/title_string.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zpack {

namespace {

namespace fs = std::filesystem;

void Report(std::ostream& err, const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) err << "zarvo-pack: " << problem << "\n";
}

// One input path: a regular file, or a directory's regular files sorted by name.
void CollectInputs(const fs::path& given, std::vector<fs::path>& files,
                   std::vector<std::string>& problems, std::ostream& err) {
  const std::string shown = Utf8FromPath(given);
  std::error_code error;
  const fs::file_status status = fs::status(given, error);
  if (error || !fs::exists(status)) {
    problems.push_back(shown + ": no such file or directory");
    return;
  }
  if (fs::is_regular_file(status)) {
    files.push_back(given);
    return;
  }
  if (!fs::is_directory(status)) {
    problems.push_back(shown + ": not a regular file or a directory");
    return;
  }
  std::vector<fs::path> found;
  for (fs::directory_iterator it(given, error), end; !error && it != end; it.increment(error)) {
    const fs::path path = it->path();
    if (fs::is_regular_file(it->status(error)))
      found.push_back(path);
    else
      err << "zarvo-pack: " << Utf8FromPath(path) << ": not a regular file; left out\n";
  }
  if (error) {
    problems.push_back(shown + ": the directory can't be read: " + error.message());
    return;
  }
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return Utf8FromPath(a.filename()) < Utf8FromPath(b.filename());
  });
  files.insert(files.end(), found.begin(), found.end());
}

bool MakeInput(const fs::path& path, const CreateOptions& options, PackInput& input,
               std::vector<std::string>& problems) {
  input.Origin = Utf8FromPath(path);
  input.Path = path;
  std::string problem;
  if (!FromUtf8(Utf8FromPath(path.filename()), CodePage::Windows1252, input.Name, problem)) {
    problems.push_back(input.Origin + ": its name " + problem);
    return false;
  }
  if (options.DateTime) {
    input.DateTime = *options.DateTime;
    return true;
  }
  auto written = LastWriteUnix(path);
  auto dateTime = written ? DosDateTimeFromCivil(LocalCivilFromUnix(*written)) : std::nullopt;
  if (!dateTime) {
    const std::string when = written ? FormatCivil(LocalCivilFromUnix(*written)) : "unknown";
    problems.push_back(input.Origin + ": its last-write time (" + when +
                       ") is outside what a DOS date-time holds (1980 to 2107); give --date");
    return false;
  }
  input.DateTime = *dateTime;
  return true;
}

// The stub's bytes, which must be an executable image and its zero padding, nothing more.
bool ReadStub(const fs::path& path, std::string& stub, std::vector<std::string>& problems) {
  const std::string shown = Utf8FromPath(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    problems.push_back(shown + ": the stub can't be read");
    return false;
  }
  stub.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    problems.push_back(shown + ": the stub can't be read");
    return false;
  }
  if (stub.empty()) return true; // no stub: the output is the bare archive
  std::istringstream view(stub);
  const ImageInfo image = InspectImage(view, stub.size());
  if (image.Format == ImageFormat::Unknown) {
    problems.push_back(shown + ": not an installer stub: " + image.Problem);
    return false;
  }
  const size_t end = size_t(std::min<uint64_t>(image.End, stub.size()));
  const size_t data = stub.find_first_not_of('\0', end);
  if (data != std::string::npos) {
    problems.push_back(shown + ": the stub holds data after its image and padding (at offset " +
                       std::to_string(data) + "); is it an installer already?");
    return false;
  }
  return true;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

} // namespace

int RunCreate(const CreateOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<std::string> problems;
  std::string title, pattern, problem;
  if (!FromUtf8(options.Title, CodePage::Windows1252, title, problem))
    problems.push_back("the title " + problem);
  if (!FromUtf8(options.Pattern, CodePage::Windows1252, pattern, problem))
    problems.push_back("the cleanup pattern " + problem);
  if (problems.empty()) problems = CheckTitleString(title, pattern);

  std::vector<fs::path> files;
  for (const fs::path& given : options.Inputs) CollectInputs(given, files, problems, err);
  std::vector<PackInput> inputs(files.size());
  bool named = true;
  for (size_t i = 0; i < files.size(); i++)
    named = MakeInput(files[i], options, inputs[i], problems) && named;
  if (named) {
    std::vector<std::string> more = CheckNames(inputs, pattern, options.Force);
    problems.insert(problems.end(), more.begin(), more.end());
  }

  std::string stub;
  ReadStub(options.Stub, stub, problems);
  const std::string output = Utf8FromPath(options.Output);
  if (SameFile(options.Output, options.Stub))
    problems.push_back(output + ": the output would replace the stub");
  for (const fs::path& file : files)
    if (SameFile(options.Output, file))
      problems.push_back(output + ": the output would replace one of its inputs");
  if (!problems.empty()) {
    Report(err, problems);
    return ExitBadInput;
  }

  PackSettings settings;
  settings.BlockSize = options.BlockSize;
  settings.Jobs = options.Jobs;
  problems = CheckContents(inputs, settings);
  if (!problems.empty()) {
    Report(err, problems);
    return ExitBadInput;
  }

  StagedFile file(options.Output);
  if (!file.Open(problem)) {
    Report(err, {output + ": " + problem});
    return ExitBadInput;
  }
  std::ofstream& stream = file.Stream();
  stream.write(stub.data(), std::streamsize(stub.size()));
  Bytes head;
  PutU32(head, ArchiveMagic);
  const std::string titleString = MakeTitleString(title, pattern);
  head.push_back(uint8_t(titleString.size()));
  PutBytes(head, titleString);
  stream.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));

  if (options.Progress) {
    settings.Progress = [&](size_t done, size_t total) {
      err << "\rzarvo-pack: compressed " << done << " of " << total << " entries" << std::flush;
    };
  }
  Bytes record;
  problem = PackEntries(inputs, settings, [&](const RawEntry& entry) {
    record.clear();
    AppendRawEntry(record, entry);
    stream.write(reinterpret_cast<const char*>(record.data()), std::streamsize(record.size()));
    return stream ? std::string() : output + ": writing it failed (disk full?)";
  });
  if (options.Progress && !inputs.empty()) err << "\n";
  if (!problem.empty()) {
    Report(err, {problem});
    return ExitBadInput;
  }
  Bytes terminator;
  PutU32(terminator, 0);
  stream.write(reinterpret_cast<const char*>(terminator.data()), 4);
  const uint64_t size = uint64_t(stream.tellp());
  if (!file.Finish(problem)) {
    Report(err, {output + ": " + problem});
    return ExitBadInput;
  }
  // An installer runs like its stub: give it the stub's permissions (execute bits above all).
  std::error_code ignored;
  if (!stub.empty())
    fs::permissions(file.TemporaryPath(), fs::status(options.Stub, ignored).permissions(), ignored);
  if (!file.Commit(problem)) {
    Report(err, {output + ": " + problem});
    return ExitBadInput;
  }
  out << output << ": " << inputs.size() << (inputs.size() == 1 ? " entry" : " entries")
      << ", payload at offset " << stub.size() << ", " << size << " bytes\n";
  return ExitOk;
}

} // namespace zpack
