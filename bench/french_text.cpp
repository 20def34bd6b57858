#include "french_text.h"

#include <cstring>

namespace bench {

namespace {

// Roughly in order of frequency: the first words are drawn most often.
const char* const Words[] = {
    "de",         "la",        "le",         "et",          "les",
    "des",        "en",        "un",         "du",          "une",
    "que",        "est",       "à",          "qui",         "dans",
    "pour",       "par",       "sur",        "au",          "il",
    "pas",        "plus",      "ne",         "se",          "son",
    "avec",       "ce",        "sa",         "elle",        "ses",
    "aux",        "ou",        "mais",       "été",         "comme",
    "on",         "sont",      "cette",      "leur",        "ont",
    "tout",       "nous",      "être",       "fait",        "deux",
    "aussi",      "où",        "même",       "après",       "entre",
    "très",       "bien",      "sans",       "sous",        "ville",
    "année",      "avant",     "depuis",     "temps",       "premier",
    "première",   "siècle",    "pendant",    "contre",      "selon",
    "encore",     "dont",      "lors",       "vers",        "alors",
    "ainsi",      "toujours",  "jamais",     "déjà",        "là",
    "près",       "chez",      "français",   "française",   "État",
    "pays",       "guerre",    "roi",        "église",      "château",
    "période",    "région",    "partie",     "nom",         "famille",
    "histoire",   "monde",     "grand",      "grande",      "petit",
    "nouveau",    "nouvelle",  "ancien",     "ancienne",    "général",
    "générale",   "société",   "république", "économie",    "développement",
    "système",    "modèle",    "idée",       "intérêt",     "côté",
    "âge",        "fenêtre",   "forêt",      "rôle",        "théâtre",
    "garçon",     "leçon",     "reçu",       "problème",    "différent",
    "élément",    "réalité",   "qualité",    "vérité",      "liberté",
    "étude",      "étranger",  "étoile",     "hôpital",     "hôtel",
    "maître",     "connaître", "paraître",   "goût",        "août",
    "coût",       "sûr",       "naïf",       "Noël",        "musique",
    "peinture",   "œuvre",     "livre",      "auteur",      "écrivain",
    "poète",      "roman",     "mot",        "langue",      "texte",
    "ouvrage",    "lettre",    "page",       "chapitre",    "dictionnaire",
    "définition", "sens",      "usage",      "exemple",     "verbe",
    "adjectif",   "nom",       "féminin",    "masculin",    "pluriel",
    "singulier",  "terme",     "expression", "littéraire",  "familier",
    "populaire",  "ancien",    "moderne",    "latin",       "grec",
    "origine",    "racine",    "forme",      "emploi",      "rivière",
    "fleuve",     "montagne",  "mer",        "île",         "côte",
    "vallée",     "plaine",    "campagne",   "village",     "rue",
    "maison",     "église",    "cathédrale", "abbaye",      "pont",
    "port",       "gare",      "école",      "université",  "collège",
    "lycée",      "élève",     "professeur", "maître",      "savant",
    "médecin",    "ingénieur", "ouvrier",    "paysan",      "marchand",
    "soldat",     "officier",  "ministre",   "président",   "député",
    "préfet",     "évêque",    "prêtre",     "moine",       "reine",
    "prince",     "duc",       "comte",      "seigneur",    "peuple",
    "nation",     "loi",       "droit",      "pouvoir",     "gouvernement",
    "armée",      "bataille",  "traité",     "paix",        "révolution",
    "empire",     "royaume",   "époque",     "moyen",       "règne",
    "naissance",  "mort",      "vie",        "homme",       "femme",
    "enfant",     "père",      "mère",       "frère",       "sœur",
    "fils",       "fille",     "ami",        "voisin",      "chose",
    "jour",       "nuit",      "soir",       "matin",       "hiver",
    "été",        "printemps", "automne",    "mois",        "semaine",
    "heure",      "lumière",   "couleur",    "bleu",        "rouge",
    "vert",       "blanc",     "noir",       "beau",        "belle",
    "long",       "court",     "haut",       "bas",         "fort",
    "faible",     "riche",     "pauvre",     "célèbre",     "connu",
    "important",  "nombreux",  "plusieurs",  "chaque",      "autre",
    "autres",     "certain",   "certains",   "quelque",     "quelques",
    "tous",       "toutes",    "peu",        "beaucoup",    "trop",
    "assez",      "moins",     "mieux",      "souvent",     "parfois",
    "ensuite",    "enfin",     "cependant",  "pourtant",    "néanmoins",
    "donc",       "car",       "puis",       "surtout",     "notamment",
    "également",  "environ",   "jusqu'à",    "lorsque",     "puisque",
    "quand",      "comment",   "pourquoi",   "avoir",       "faire",
    "dire",       "voir",      "savoir",     "pouvoir",     "vouloir",
    "venir",      "prendre",   "donner",     "trouver",     "porter",
    "mettre",     "créer",     "fonder",     "construire",  "écrire",
    "publier",    "étudier",   "décrire",    "désigner",    "appeler",
    "nommer",     "devenir",   "rester",     "naître",      "mourir",
    "régner",     "vaincre",   "reçoit",     "devient",     "possède",
    "représente", "comprend",  "désigne",    "signifie",    "précède",
    "succède",    "élevé",     "élue",       "nommé",       "considéré",
    "situé",      "située",    "créé",       "créée",       "fondé",
    "fondée",     "construit", "détruit",    "reconstruit", "achevé",
    "décédé",
};
const unsigned WordCount = sizeof Words / sizeof Words[0];

// The letters of the vocabulary outside ASCII, and their code page 850 bytes.
struct Letter {
  const char* Utf8;
  char Dos;
  char UpperDos; // 0 when the capital is written without its accent
};
const Letter Letters[] = {
    {"é", '\x82', '\x90'}, {"è", '\x8A', '\xD4'}, {"ê", '\x88', '\xD2'}, {"ë", '\x89', 0},
    {"à", '\x85', '\xB7'}, {"â", '\x83', '\xB6'}, {"ä", '\x84', 0},      {"ç", '\x87', '\x80'},
    {"î", '\x8C', '\xD7'}, {"ï", '\x8B', 0},      {"ô", '\x93', '\xE2'}, {"ö", '\x94', 0},
    {"ù", '\x97', 0},      {"û", '\x96', 0},      {"ü", '\x81', 0},      {"É", '\x90', '\x90'},
    {"È", '\xD4', '\xD4'}, {"À", '\xB7', '\xB7'}, {"Ç", '\x80', '\x80'}, {"«", '\xAE', 0},
    {"»", '\xAF', 0},      {"°", '\xF8', 0},
};

// Code page 850 has no œ: French DOS texts spell it out.
const char* Ligature(const char* at) {
  if (std::strncmp(at, "œ", 2) == 0) return "oe";
  return nullptr;
}

bool StartsWithVowel(const std::string& dos) {
  static const char Vowels[] = "aeiouyhAEIOUH\x82\x8A\x88\x85\x83\x8C\x93\x90";
  return !dos.empty() && std::strchr(Vowels, dos[0]) != nullptr;
}

char Capital(char c) {
  if (c >= 'a' && c <= 'z') return char(c - 32);
  for (const Letter& l : Letters)
    if (l.Dos == c) return l.UpperDos ? l.UpperDos : c;
  return c;
}

} // namespace

std::string ToDos850(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      out += utf8[i++];
      continue;
    }
    if (const char* spelled = Ligature(utf8.c_str() + i)) {
      out += spelled;
      i += 2;
      continue;
    }
    bool found = false;
    for (const Letter& l : Letters) {
      size_t n = std::strlen(l.Utf8);
      if (utf8.compare(i, n, l.Utf8) == 0) {
        out += l.Dos;
        i += n;
        found = true;
        break;
      }
    }
    if (!found) out += utf8[i++]; // never met with this vocabulary
  }
  return out;
}

std::string FrenchText::Word(bool capital) {
  static std::string dos[WordCount];
  static bool converted = false;
  if (!converted) {
    for (unsigned i = 0; i < WordCount; i++) dos[i] = ToDos850(Words[i]);
    converted = true;
  }
  // The product of three uniform draws leans to the small indexes: a rough Zipf law.
  uint64_t pick = uint64_t(random_.Below(WordCount)) * random_.Below(WordCount) / WordCount *
                  random_.Below(WordCount) / WordCount;
  std::string word = dos[pick];
  if (capital) word[0] = Capital(word[0]);
  return word;
}

std::string FrenchText::Sentence() {
  unsigned length = 4 + random_.Below(18);
  std::string s;
  std::string previous;
  for (unsigned i = 0; i < length; i++) {
    std::string word = Word(i == 0);
    // Elision: "le arbre" is written "l'arbre", "que il" "qu'il".
    bool elide = !s.empty() && StartsWithVowel(word) &&
                 (previous == "le" || previous == "la" || previous == "de" || previous == "que" ||
                  previous == "ne" || previous == "se" || previous == "Le" || previous == "La" ||
                  previous == "De");
    if (elide) {
      s.back() = '\''; // the vowel goes
    } else if (!s.empty()) {
      if (random_.Chance(7)) s += ',';
      s += ' ';
    }
    if (random_.Chance(1)) word = "\xAE" + word + "\xAF"; // guillemets round a quoted word
    if (random_.Chance(2)) word = std::to_string(random_.Below(2000));
    s += word;
    previous = word;
  }
  unsigned end = random_.Below(100);
  s += end < 85 ? "." : end < 92 ? "," : end < 96 ? " ?" : end < 98 ? " !" : " :";
  return s;
}

void FrenchText::Refill() {
  pending_.clear();
  at_ = 0;
  ++paragraphs_;
  if (paragraphs_ % 40 == 1) {
    // A heading: upper case, then an empty line.
    pending_ = "CHAPITRE " + std::to_string(paragraphs_ / 40 + 1) + "\n";
    std::string title = Word(true) + " " + Word(false) + " " + Word(false);
    for (char& c : title) c = Capital(c);
    pending_ += "   " + title + "\n\n";
    return;
  }
  // Indented quotations, and the ~ numbers of Zarvo's own cross-references.
  unsigned indent = random_.Chance(10) ? 4 + 4 * random_.Below(2) : 0;
  unsigned width = 76 - indent;
  std::string line(indent, ' ');
  unsigned sentences = 2 + random_.Below(7);
  for (unsigned i = 0; i < sentences; i++) {
    std::string s = Sentence();
    if (random_.Chance(3)) s += " (voir ~" + std::to_string(random_.Below(300)) + ")";
    size_t start = 0;
    while (start < s.size()) {
      size_t space = s.find(' ', start);
      std::string word =
          s.substr(start, space == std::string::npos ? std::string::npos : space - start);
      start = space == std::string::npos ? s.size() : space + 1;
      if (line.size() > indent && line.size() + 1 + word.size() > indent + width) {
        pending_ += line + "\n";
        line.assign(indent, ' ');
      }
      if (line.size() > indent) line += ' ';
      line += word;
    }
  }
  pending_ += line + "\n\n";
}

std::string FrenchText::NextLine() {
  if (at_ >= pending_.size()) Refill();
  size_t lf = pending_.find('\n', at_);
  std::string line = pending_.substr(at_, lf - at_);
  at_ = lf + 1;
  return line;
}

void FrenchText::AppendLines(std::string& out, size_t bytes, const char* eol) {
  while (out.size() < bytes) {
    out += NextLine();
    out += eol;
  }
}

} // namespace bench
