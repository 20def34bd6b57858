#include "zarvo-pack/pattern.h"

#include "zarvo-pack/names.h"

#include <string>
#include <vector>

namespace zpack {

namespace {

enum class Token { Literal, Star, DosStar, DosQuestionMark, DosDot };

struct Element {
  Token Kind;
  char Character;
};

std::vector<Element> Rewrite(std::string_view pattern) {
  std::string p(pattern);
  if (p.size() >= 3 && p.compare(p.size() - 3, 3, "*.*") == 0) p.resize(p.size() - 2);
  if (!p.empty() && p.back() == '.') p.pop_back();
  std::string folded = FoldCase(p);
  std::vector<Element> elements;
  for (size_t i = 0; i < p.size(); i++) {
    char next = i + 1 < p.size() ? p[i + 1] : '\0';
    Token kind = Token::Literal;
    if (p[i] == '?')
      kind = Token::DosQuestionMark;
    else if (p[i] == '.' && (next == '?' || next == '*'))
      kind = Token::DosDot;
    else if (p[i] == '*')
      kind = next == '.' ? Token::DosStar : Token::Star;
    elements.push_back({kind, folded[i]});
  }
  return elements;
}

} // namespace

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  const std::vector<Element> p = Rewrite(pattern);
  const std::string n = FoldCase(name);
  const size_t lastDot = n.rfind('.');
  const size_t width = n.size() + 1;
  // matches[i * width + j]: the pattern from element i matches the name from character j.
  // Filled from the ends backwards, so every lookup is of a cell already known.
  std::vector<char> matches((p.size() + 1) * width, 0);
  matches[p.size() * width + n.size()] = 1;
  for (size_t i = p.size(); i-- > 0;) {
    for (size_t j = n.size() + 1; j-- > 0;) {
      const bool atEnd = j == n.size();
      const char* rest = &matches[(i + 1) * width];
      const char* same = &matches[i * width];
      bool match = false;
      switch (p[i].Kind) {
      case Token::Literal:
        match = !atEnd && n[j] == p[i].Character && rest[j + 1];
        break;
      case Token::Star:
        match = rest[j] || (!atEnd && same[j + 1]);
        break;
      case Token::DosStar:
        // Eats characters, but never the name's last '.'.
        match = rest[j] || (!atEnd && j != lastDot && same[j + 1]);
        break;
      case Token::DosQuestionMark:
        match = atEnd || n[j] == '.' ? rest[j] : rest[j + 1];
        break;
      case Token::DosDot:
        match = atEnd ? rest[j] : n[j] == '.' && rest[j + 1];
        break;
      }
      matches[i * width + j] = match;
    }
  }
  return matches[0] != 0;
}

} // namespace zpack
