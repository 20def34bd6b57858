// The two single-byte code pages the payload meets: Windows 1252 for the title, the cleanup
// pattern and the entry names (what the installer hands to the ANSI Win32 calls), and the
// DOS code page 850 of Zarvo's text content.
#pragma once

#include <string>
#include <string_view>

namespace zpack {

enum class CodePage { Windows1252, Dos850 };

const char* CodePageName(CodePage page);

// Converts UTF-8 text into the code page. On failure returns false and says why in
// `problem`: text that is not UTF-8, or a character the code page lacks (named).
bool FromUtf8(std::string_view utf8, CodePage page, std::string& out, std::string& problem);
// Converts code page text into UTF-8; a byte the code page leaves undefined becomes U+FFFD.
std::string ToUtf8(std::string_view bytes, CodePage page);

} // namespace zpack
