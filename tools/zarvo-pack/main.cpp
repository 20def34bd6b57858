// zarvo-pack: builds Zarvo content installers (an installer stub followed by a payload
// archive) and lists, verifies, extracts and decodes them.
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/host.h"
#include "zarvo-pack/staged_file.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <new>
#include <thread>

using namespace zpack;

namespace {

const char* const MainHelp =
    R"(Usage: zarvo-pack COMMAND [OPTIONS] ARGUMENTS

Builds Zarvo content installers and looks into them.

Commands:
  create    build an installer from a stub and content files
  list      show an installer's title, cleanup pattern and entries
  verify    check that an installer installs what it should, as it should
  extract   write the files an installer would install into a directory
  decode    print an installed packed file (.dcc, .dcw) as text
  make-dcw  build indexed text content (.dcw) from a folder of sections

"zarvo-pack COMMAND --help" tells more. Exit codes: 0 done, 1 bad input, 2 bad usage.
)";

const char* const CreateHelp =
    R"(Usage: zarvo-pack create --stub STUB --title TITLE [--cleanup PATTERN] -o OUT
                         [-j N] [--level N] [--date DATE] [--force] FILE_OR_DIR...

Writes OUT: the stub's bytes, then the payload archive. Each FILE becomes an entry under
its own name; a DIR gives the regular files directly in it, sorted by name. Names that
contain .DCW (any case) are indexed text content, whose index positions, text lengths and
installed size are worked out here; names that contain .DOC are text lines, packed on
installation; all others are installed as they are, with their last-write time.

  --stub STUB        the installer stub (the executable padded to its payload offset)
  --title TITLE      the title shown when installing (UTF-8; must fit code page 1252)
  --cleanup PATTERN  delete the Zarvo directory's files matching PATTERN (wildcards * and ?)
                     after installing; refused when it matches zarvowin.exe, ab.ini or an
                     installed file, unless --force
  -o, --output OUT   the installer to write (only once complete)
  -j, --jobs N       compress on N threads (default: the number of cores); the output is
                     the same for every N
  --level N          bzip2 block size, 1 to 9 (x 100 kB; default 9)
  --date DATE        give every entry this date-time ("YYYY-MM-DD HH:MM:SS", local time)
                     instead of its file's, which a DOS date-time must be able to hold
  --force            allow a cleanup pattern that deletes installed or Zarvo's own files
)";

const char* const ListHelp = R"(Usage: zarvo-pack list [--offset N] INSTALLER

Shows the title, the cleanup pattern and one row per entry: its name, kind, installed
name, compressed, decoded and installed size, and date-time. The payload is found after
the stub's image and its zero padding; --offset N gives its offset instead.
)";

const char* const VerifyHelp = R"(Usage: zarvo-pack verify [--offset N] [--force] INSTALLER

Decodes every entry and checks everything the installer takes on trust: the decoded
sizes, every .DCW index position and length and the installed size, the limits on text
lines, the entry names, the cleanup pattern (--force accepts one that deletes installed
or Zarvo's own files), the terminator, and that nothing follows it. A code signature's
certificate table after the archive (signed Windows installers) is reported as a note.
Exit code 0 only when the installer would install everything as meant.
)";

const char* const ExtractHelp = R"(Usage: zarvo-pack extract [--offset N] [--raw] INSTALLER DIR

Writes into DIR exactly the files the installer would install: lower-cased names, .doc
installed as .dcc with packed lines, .dcw indexed text files with packed text sections
and the index at the end, plain files with their date-time. The cleanup is not run.
Nothing is written unless every entry decodes and converts.

  --raw   write the decoded entries under their own names instead, each with its date-time
)";

const char* const DecodeHelp = R"(Usage: zarvo-pack decode FILE

Prints an installed packed file as UTF-8 text (from the DOS code page 850): a .dcc file
line by line; a .dcw file (by its name) section by section, text sections with their
lines, raw sections summed up.
)";

const char* const MakeDcwHelp = R"(Usage: zarvo-pack make-dcw -o OUT.dcw DIR

Builds indexed text content from DIR/sections.txt, which lists the sections in order,
one a line (blank lines and lines starting with # are skipped):

  text NAME FILE [value=N] [date=YYYY-MM-DDTHH:MM:SS]
  raw NAME TYPE FILE

NAME has at most 8 characters. A text FILE holds UTF-8 lines (LF or CR LF), converted to
the DOS code page 850; value= and date= fill its 8-byte text header (default 0 and
1980-01-01T00:00:00). A raw FILE is taken as it is; TYPE is 0 to 255, not 10. FILE is
relative to DIR. The positions and lengths of the index are worked out, so OUT is ready
to go into an installer under a .dcw name.
)";

struct UsageError {
  std::string Message;
};

// Options of one command: --name VALUE, --name=VALUE, -x VALUE, -xVALUE, flags, and
// operands; "--" ends the options.
class Arguments {
public:
  Arguments(const std::vector<std::string>& args, const std::map<std::string, bool>& known)
      : known_(known) {
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); i++) {
      const std::string& a = args[i];
      if (operandsOnly || a.size() < 2 || a[0] != '-') {
        operands_.push_back(a);
        continue;
      }
      if (a == "--") {
        operandsOnly = true;
        continue;
      }
      std::string name = a, value;
      bool hasValue = false;
      if (a.compare(0, 2, "--") == 0) {
        const size_t eq = a.find('=');
        if (eq != std::string::npos) {
          name = a.substr(0, eq);
          value = a.substr(eq + 1);
          hasValue = true;
        }
      } else if (a.size() > 2) {
        name = a.substr(0, 2);
        value = a.substr(2);
        hasValue = true;
      }
      auto it = known_.find(name);
      if (it == known_.end()) throw UsageError{"unknown option " + name};
      if (!it->second) {
        if (hasValue) throw UsageError{name + " takes no value"};
        values_[name] = "";
        continue;
      }
      if (!hasValue) {
        if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
        value = args[++i];
      }
      if (values_.count(name)) throw UsageError{name + " is given twice"};
      values_[name] = value;
    }
  }

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::string Value(const std::string& name, const std::string& alias = "") const {
    auto it = values_.find(name);
    if (it == values_.end() && !alias.empty()) it = values_.find(alias);
    return it == values_.end() ? std::string() : it->second;
  }
  std::string Required(const std::string& name, const std::string& alias = "") const {
    if (!Has(name) && (alias.empty() || !Has(alias))) throw UsageError{name + " is required"};
    return Value(name, alias);
  }
  const std::vector<std::string>& Operands() const { return operands_; }

private:
  std::map<std::string, bool> known_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> operands_;
};

uint64_t Number(const std::string& option, const std::string& text, uint64_t low, uint64_t high) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-' || value < low || value > high)
    throw UsageError{option + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + text + "\""};
  return value;
}

void Operands(const Arguments& a, size_t count) {
  if (a.Operands().size() != count)
    throw UsageError{"expected " + std::to_string(count) +
                     (count == 1 ? " argument" : " arguments") + ", got " +
                     std::to_string(a.Operands().size())};
}

InspectOptions Inspect(const Arguments& a) {
  InspectOptions o;
  o.Installer = PathFromUtf8(a.Operands().at(0));
  if (a.Has("--offset")) o.Offset = Number("--offset", a.Value("--offset"), 0, UINT64_MAX >> 1);
  return o;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2 || args[1] == "--help" || args[1] == "-h" || args[1] == "help") {
    std::cout << MainHelp;
    return args.size() < 2 ? ExitUsage : ExitOk;
  }
  const std::string command = args[1];
  static const std::map<std::string, const char*> helps = {
      {"create", CreateHelp},   {"list", ListHelp},     {"verify", VerifyHelp},
      {"extract", ExtractHelp}, {"decode", DecodeHelp}, {"make-dcw", MakeDcwHelp}};
  auto help = helps.find(command);
  if (help == helps.end()) throw UsageError{"unknown command \"" + command + "\""};
  const std::vector<std::string> rest(args.begin() + 2, args.end());
  for (const std::string& a : rest) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::cout << help->second;
      return ExitOk;
    }
  }

  if (command == "create") {
    Arguments a(rest, {{"--stub", true},
                       {"--title", true},
                       {"--cleanup", true},
                       {"-o", true},
                       {"--output", true},
                       {"-j", true},
                       {"--jobs", true},
                       {"--level", true},
                       {"--date", true},
                       {"--force", false}});
    CreateOptions o;
    o.Stub = PathFromUtf8(a.Required("--stub"));
    o.Title = a.Required("--title");
    o.Pattern = a.Value("--cleanup");
    o.Output = PathFromUtf8(a.Required("-o", "--output"));
    if (a.Operands().empty()) throw UsageError{"no FILE_OR_DIR to pack"};
    for (const std::string& input : a.Operands()) o.Inputs.push_back(PathFromUtf8(input));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    o.Jobs = unsigned(a.Has("-j") || a.Has("--jobs") ? Number("-j", a.Value("-j", "--jobs"), 1, 256)
                                                     : cores);
    if (a.Has("--level")) o.BlockSize = int(Number("--level", a.Value("--level"), 1, 9));
    if (a.Has("--date")) {
      auto civil = ParseCivilTime(a.Value("--date"));
      auto dos = civil ? DosDateTimeFromCivil(*civil) : std::nullopt;
      if (!dos)
        throw UsageError{"--date takes \"YYYY-MM-DD HH:MM:SS\" from 1980 to 2107, not \"" +
                         a.Value("--date") + "\""};
      o.DateTime = *dos;
    }
    o.Force = a.Has("--force");
    o.Progress = StderrIsTerminal();
    return RunCreate(o, std::cout, std::cerr);
  }
  if (command == "list" || command == "verify") {
    std::map<std::string, bool> known = {{"--offset", true}};
    if (command == "verify") known["--force"] = false;
    Arguments a(rest, known);
    Operands(a, 1);
    InspectOptions o = Inspect(a);
    o.Force = a.Has("--force");
    return command == "list" ? RunList(o, std::cout, std::cerr)
                             : RunVerify(o, std::cout, std::cerr);
  }
  if (command == "extract") {
    Arguments a(rest, {{"--offset", true}, {"--raw", false}});
    Operands(a, 2);
    ExtractOptions o;
    o.Source = Inspect(a);
    o.Directory = PathFromUtf8(a.Operands()[1]);
    o.Raw = a.Has("--raw");
    return RunExtract(o, std::cout, std::cerr);
  }
  if (command == "decode") {
    Arguments a(rest, {});
    Operands(a, 1);
    return RunDecode(PathFromUtf8(a.Operands()[0]), std::cout, std::cerr);
  }
  Arguments a(rest, {{"-o", true}, {"--output", true}});
  Operands(a, 1);
  MakeDcwOptions o;
  o.Directory = PathFromUtf8(a.Operands()[0]);
  o.Output = PathFromUtf8(a.Required("-o", "--output"));
  return RunMakeDcw(o, std::cout, std::cerr);
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(Utf8Arguments(argc, argv));
  } catch (const UsageError& e) {
    std::cerr << "zarvo-pack: " << e.Message << " (--help tells more)\n";
    return ExitUsage;
  } catch (const std::bad_alloc&) {
    std::cerr << "zarvo-pack: out of memory\n";
    return ExitBadInput;
  } catch (const std::exception& e) {
    std::cerr << "zarvo-pack: " << e.what() << "\n";
    return ExitBadInput;
  }
}
