#include "zarvo-pack/names.h"

#include <cstdio>

namespace zpack {

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 0x20);
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c + 0x20);
  return out;
}

EntryKind KindOfName(std::string_view name) {
  std::string upper = UpperAscii(name);
  if (upper.find(".DCW") != std::string::npos) return EntryKind::Indexed;
  if (upper.find(".DOC") != std::string::npos) return EntryKind::Packed;
  return EntryKind::Plain;
}

const char* KindLabel(EntryKind kind) {
  switch (kind) {
  case EntryKind::Indexed:
    return ".DCW";
  case EntryKind::Packed:
    return ".DOC";
  default:
    return "plain";
  }
}

std::string InstalledName(std::string_view name) {
  std::string installed = LowerAscii(name);
  if (KindOfName(name) == EntryKind::Packed) installed[installed.size() - 2] = 'c';
  return installed;
}

std::string FoldCase(std::string_view name) {
  std::string out(name);
  for (char& ch : out) {
    uint8_t c = uint8_t(ch);
    if (c >= 'a' && c <= 'z')
      c = uint8_t(c - 0x20);
    else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) // à to þ, less ÷
      c = uint8_t(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E) // š œ ž
      c = uint8_t(c - 0x10);
    else if (c == 0xFF) // ÿ
      c = 0x9F;
    ch = char(c);
  }
  return out;
}

namespace {

bool IsReservedDeviceName(std::string_view name) {
  // Windows opens the device for these whatever the extension: "nul.txt" is NUL.
  std::string base = UpperAscii(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

} // namespace

std::string CheckEntryName(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.size() > 255) {
    return "the name is " + std::to_string(name.size()) +
           " bytes long in code page 1252, more than the 255 an entry name holds";
  }
  if (name == "." || name == "..") return "\"" + std::string(name) + "\" is not a file name";
  for (char c : name) {
    if (c == '\\' || c == '/' || c == ':')
      return std::string("the name has a path part ('") + c +
             "'); an entry is installed in the Zarvo directory itself";
  }
  for (char c : name) {
    if (uint8_t(c) < 0x20) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", unsigned(uint8_t(c)));
      return std::string("the name holds the control character ") + code;
    }
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
      return std::string("the name holds '") + c + "', which Windows does not allow in file names";
  }
  if (name.back() == '.' || name.back() == ' ')
    return "the name ends with a dot or a space, which Windows drops from file names";
  if (IsReservedDeviceName(name))
    return "the name is a Windows device name; the installer would write to the device";
  return {};
}

namespace {

bool IsShortNameCharacter(char c) {
  uint8_t u = uint8_t(c);
  if (u < 0x20 || u >= 0x7F) return false;
  return std::string_view(" \"*+,/:;<=>?[\\]|.").find(c) == std::string_view::npos;
}

bool IsValidShortName(std::string_view name) {
  size_t dot = name.find('.');
  std::string_view base = name.substr(0, dot);
  std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string_view::npos && extension.empty()) return false;
  for (char c : base)
    if (!IsShortNameCharacter(c)) return false;
  for (char c : extension)
    if (!IsShortNameCharacter(c)) return false;
  return true;
}

std::string ShortNameCharacters(std::string_view part) {
  std::string out;
  for (char c : part)
    if (IsShortNameCharacter(c)) out += c;
  return UpperAscii(out);
}

} // namespace

std::vector<std::string> ShortAliases(std::string_view name) {
  if (IsValidShortName(name)) return {};
  size_t dot = name.rfind('.');
  std::string base = ShortNameCharacters(name.substr(0, dot));
  std::string extension =
      dot == std::string_view::npos ? "" : ShortNameCharacters(name.substr(dot + 1));
  if (base.empty()) return {};
  base = base.substr(0, 6);
  extension = extension.substr(0, 3);
  std::vector<std::string> aliases;
  for (int n = 1; n <= 4; n++) {
    std::string alias = base + "~" + std::to_string(n);
    if (!extension.empty()) alias += "." + extension;
    aliases.push_back(alias);
  }
  return aliases;
}

} // namespace zpack
