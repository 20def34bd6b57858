// The subcommands of zarvo-pack, callable in-process as well. Each writes its report to
// `out`, its errors to `err` (each naming the file), and returns the exit code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zpack {

enum ExitCode { ExitOk = 0, ExitBadInput = 1, ExitUsage = 2 };

struct CreateOptions {
  std::filesystem::path Stub, Output;
  std::string Title, Pattern; // UTF-8
  std::vector<std::filesystem::path> Inputs;
  int BlockSize = 9;
  unsigned Jobs = 1;
  std::optional<uint32_t> DateTime; // for every entry, instead of the files' own
  bool Force = false;
  bool Progress = false;
};

struct InspectOptions {
  std::filesystem::path Installer;
  std::optional<uint64_t> Offset; // the payload offset, instead of the one found
  bool Force = false;             // verify: a cleanup that deletes installed files is meant
};

struct ExtractOptions {
  InspectOptions Source;
  std::filesystem::path Directory;
  bool Raw = false; // the decoded entries under their own names, not the installed files
};

struct MakeDcwOptions {
  std::filesystem::path Directory, Output;
};

int RunCreate(const CreateOptions& options, std::ostream& out, std::ostream& err);
int RunList(const InspectOptions& options, std::ostream& out, std::ostream& err);
int RunVerify(const InspectOptions& options, std::ostream& out, std::ostream& err);
int RunExtract(const ExtractOptions& options, std::ostream& out, std::ostream& err);
int RunDecode(const std::filesystem::path& file, std::ostream& out, std::ostream& err);
int RunMakeDcw(const MakeDcwOptions& options, std::ostream& out, std::ostream& err);

} // namespace zpack
