#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/commands.h"
#include "zarvo-pack/dos_time.h"
#include "zarvo-pack/entry_content.h"
#include "zarvo-pack/installer_reader.h"
#include "zarvo-pack/title_string.h"

#include <algorithm>
#include <map>

namespace zpack {

namespace {

std::string Shown(std::string_view cp1252) {
  return ToUtf8(cp1252, CodePage::Windows1252);
}

// Columns padded to the widest cell; numbers to the right.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& right) {
  std::vector<size_t> width(rows.front().size(), 0);
  auto shownWidth = [](const std::string& s) { // UTF-8 characters, not bytes
    return size_t(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); i++) width[i] = std::max(width[i], shownWidth(row[i]));
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); i++) {
      const std::string pad(width[i] - shownWidth(row[i]), ' ');
      line += i ? "  " : "";
      line += right[i] ? pad + row[i] : row[i] + (i + 1 < row.size() ? pad : "");
    }
    out << line << "\n";
  }
}

std::string TrailerNote(OpenedInstaller& installer, bool& allowed) {
  // Signing a Windows installer appends its certificate table after the payload (padded
  // to 8 bytes first); the security directory in the PE header names it.
  const ImageInfo& image = installer.Place.Image;
  const uint64_t end = installer.Archive.End;
  allowed = false;
  if (image.Format != ImageFormat::Pe || image.CertificateSize == 0) return {};
  const uint64_t at = image.CertificateOffset;
  if (at < end || at - end >= 8 || at + image.CertificateSize != installer.Size) return {};
  std::string gap(size_t(at - end), '\0');
  uint8_t header[8] = {};
  installer.In.clear();
  installer.In.seekg(std::streamoff(end));
  installer.In.read(gap.data(), std::streamsize(gap.size()));
  installer.In.read(reinterpret_cast<char*>(header), 8);
  if (!installer.In || gap.find_first_not_of('\0') != std::string::npos) return {};
  const uint32_t length = GetU32(header);
  const unsigned revision = header[4] | header[5] << 8;
  if (length < 8 || length > image.CertificateSize || (revision != 0x100 && revision != 0x200))
    return {};
  allowed = true;
  return "a certificate table (a code signature) of " + std::to_string(image.CertificateSize) +
         " bytes follows the archive at offset " + std::to_string(at) +
         "; Windows expects it there and the installer never reads it";
}

} // namespace

int RunList(const InspectOptions& options, std::ostream& out, std::ostream& err) {
  OpenedInstaller installer;
  if (std::string problem = OpenInstaller(options, installer); !problem.empty()) {
    err << "zarvo-pack: " << installer.Shown << ": " << problem << "\n";
    return ExitBadInput;
  }
  const ArchiveInfo& archive = installer.Archive;
  const TitleParts parts = SplitTitleString(archive.TitleString);
  out << "Title:   " << Shown(parts.Title) << "\n";
  out << "Cleanup: " << (parts.Pattern.empty() ? "(none)" : Shown(parts.Pattern)) << "\n";
  out << "Payload: at offset " << archive.Start << ", " << archive.Entries.size()
      << (archive.Entries.size() == 1 ? " entry" : " entries") << ", "
      << archive.End - archive.Start << " bytes\n";
  if (!archive.Entries.empty()) {
    std::vector<std::vector<std::string>> rows = {
        {"name", "kind", "installed as", "compressed", "decoded", "installed", "date"}};
    for (const EntryHeader& e : archive.Entries) {
      std::string installed = std::to_string(e.DecodedSize);
      if (e.Kind == EntryKind::Indexed) installed = std::to_string(e.InstalledSize);
      if (e.Kind == EntryKind::Packed) {
        // Only decoding tells how long the packed lines come out.
        EntryData data = DecodeEntry(installer, e);
        ContentCheck check = CheckContent(e.Kind, data.Data.data(), data.Data.size());
        installed =
            data.Problem.empty() && check.Fatal.empty() ? std::to_string(check.InstalledSize) : "?";
      }
      rows.push_back({Shown(e.Name), KindLabel(e.Kind), Shown(InstalledName(e.Name)),
                      std::to_string(e.CompressedSize), std::to_string(e.DecodedSize), installed,
                      FormatDosDateTime(e.DateTime)});
    }
    PrintTable(out, rows, {false, false, false, true, true, true, false});
  }
  if (!archive.CutShort.empty()) {
    err << "zarvo-pack: " << installer.Shown << ": " << archive.CutShort << "\n";
    return ExitBadInput;
  }
  return ExitOk;
}

int RunVerify(const InspectOptions& options, std::ostream& out, std::ostream& err) {
  OpenedInstaller installer;
  if (std::string problem = OpenInstaller(options, installer); !problem.empty()) {
    err << "zarvo-pack: " << installer.Shown << ": " << problem << "\n";
    return ExitBadInput;
  }
  const ArchiveInfo& archive = installer.Archive;
  std::vector<std::string> failures, notes;

  const TitleParts parts = SplitTitleString(archive.TitleString);
  if (parts.HasBar) {
    const std::string fullPattern = archive.TitleString.substr(archive.TitleString.find('|') + 1);
    if (std::string why = CheckPattern(fullPattern); !why.empty()) failures.push_back(why);
  }

  std::vector<std::string> installedNames;
  std::map<std::string, size_t> seen;
  for (size_t i = 0; i < archive.Entries.size(); i++) {
    const EntryHeader& e = archive.Entries[i];
    const std::string where = DescribeEntry(i + 1, e) + ": ";
    if (std::string why = CheckEntryName(e.Name); !why.empty()) {
      failures.push_back(where + why);
    } else {
      const std::string name = InstalledName(e.Name);
      auto [at, fresh] = seen.emplace(FoldCase(name), i);
      if (!fresh) {
        failures.push_back(where + "installed as " + Shown(name) + ", like entry " +
                           std::to_string(at->second + 1) + ", which it would replace");
      }
      installedNames.push_back(name);
    }
    EntryData data = DecodeEntry(installer, e);
    if (!data.Problem.empty()) {
      failures.push_back(where + data.Problem);
      continue;
    }
    if (!data.Note.empty()) notes.push_back(where + data.Note);
    const ContentCheck check = CheckContent(e.Kind, data.Data.data(), data.Data.size());
    if (!check.Fatal.empty()) {
      failures.push_back(where + check.Fatal);
      continue;
    }
    for (const std::string& defect : check.Defects) failures.push_back(where + defect);
    if (e.Kind == EntryKind::Indexed) {
      for (const std::string& mismatch : IndexMismatches(check.Layout))
        failures.push_back(where + mismatch);
      if (e.InstalledSize != check.InstalledSize) {
        failures.push_back(where + "its installed size field is " +
                           std::to_string(e.InstalledSize) + ", but the installed file has " +
                           std::to_string(check.InstalledSize) + " bytes");
      }
    }
    if (e.Kind == EntryKind::Plain && !CivilFromDosDateTime(e.DateTime)) {
      failures.push_back(where + "its " + FormatDosDateTime(e.DateTime) +
                         " is no date: the installed file would keep the time of installation");
    }
  }
  if (!options.Force) {
    for (const CleanupVictim& v : CleanupVictims(parts.Pattern, installedNames)) {
      std::string text = "the cleanup pattern \"" + Shown(parts.Pattern) + "\" deletes " +
                         Shown(v.Name) +
                         (v.Alias.empty() ? "" : " (by its short name " + v.Alias + ")");
      text += v.Installed < 0 ? ", one of Zarvo's own files"
                              : ", which the installer has just installed";
      failures.push_back(text + " (--force accepts it)");
    }
  }

  if (!archive.CutShort.empty()) {
    failures.push_back(archive.CutShort + ": the installer ends with runtime error 100");
  } else if (archive.End < installer.Size) {
    bool allowed = false;
    std::string note = TrailerNote(installer, allowed);
    if (allowed)
      notes.push_back(note);
    else
      failures.push_back(std::to_string(installer.Size - archive.End) +
                         " bytes follow the archive's terminator at offset " +
                         std::to_string(archive.End - 4) + "; the installer never reads them");
  }

  for (const std::string& note : notes) out << installer.Shown << ": note: " << note << "\n";
  for (const std::string& failure : failures)
    err << "zarvo-pack: " << installer.Shown << ": " << failure << "\n";
  if (!failures.empty()) {
    out << installer.Shown << ": " << failures.size()
        << (failures.size() == 1 ? " problem" : " problems") << "\n";
    return ExitBadInput;
  }
  out << installer.Shown << ": OK, payload at offset " << archive.Start << ", "
      << archive.Entries.size() << (archive.Entries.size() == 1 ? " entry" : " entries") << "\n";
  return ExitOk;
}

} // namespace zpack
