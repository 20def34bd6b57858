#include "prefix.h"

#include <stdlib.h>
#include <unistd.h>

namespace {

class Win32Ui : public PrefixTest {
protected:
  void SetUp() override {
    PrefixTest::SetUp();
    log = prefix + "/transcript.log";
    setenv("ZARVO_SETUP_LOG", log.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ZARVO_SETUP_LOG");
    PrefixTest::TearDown();
  }
  std::string Transcript() const { return ReadWholeFile(log); }
  std::string log;
};

struct Box {
  const char* text;
  const char* caption;
  UINT flags;
};

// Shows the box in a child process and returns its answer (the child's exit code).
int ShowInChild(const Box& box, const char* input, std::string* err = nullptr) {
  return RunInChild(
      [](void* arg) {
        const Box* b = static_cast<const Box*>(arg);
        _exit(MessageBoxA(nullptr, b->text, b->caption, b->flags));
      },
      const_cast<Box*>(&box), input, err);
}

struct AnswerCase {
  const char* input;
  int answer;
};

class Win32YesNoAnswers : public Win32Ui, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(Win32YesNoAnswers, ComeFromALineOfStdin) {
  Box box{"Installer?", "  Installation de Test", MB_YESNO};
  EXPECT_EQ(ShowInChild(box, GetParam().input), GetParam().answer) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(Table, Win32YesNoAnswers,
                         ::testing::Values(AnswerCase{"y\n", IDYES}, AnswerCase{"Y\n", IDYES},
                                           AnswerCase{"yes\n", IDYES}, AnswerCase{"o\n", IDYES},
                                           AnswerCase{"Oui\n", IDYES}, AnswerCase{"y", IDYES},
                                           AnswerCase{"n\n", IDNO}, AnswerCase{"non\n", IDNO},
                                           AnswerCase{"\n", IDNO}, AnswerCase{"", IDNO},
                                           AnswerCase{" y\n", IDNO}, AnswerCase{"x\ny\n", IDNO},
                                           AnswerCase{"1\n", IDNO}));

TEST_F(Win32Ui, EachBoxTakesTheNextLineAndOkBoxesTakeNone) {
  std::string err;
  int status = RunInChild(
      [](void*) {
        int a = MessageBoxA(nullptr, "done", "Info", MB_ICONINFORMATION);
        int b = MessageBoxA(nullptr, "first?", "Q", MB_YESNO);
        int c = MessageBoxA(nullptr, "second?", "Q", MB_YESNO);
        int d = MessageBoxA(nullptr, "third?", "Q", MB_YESNO);
        _exit(a == IDOK && b == IDNO && c == IDYES && d == IDNO ? 0 : 1);
      },
      nullptr, "no\nyes\n", &err);
  EXPECT_EQ(status, 0) << err;
  EXPECT_EQ(Transcript(), "box\t0x40\tInfo\tdone\t1\n"
                          "box\t0x04\tQ\tfirst?\t7\n"
                          "box\t0x04\tQ\tsecond?\t6\n"
                          "box\t0x04\tQ\tthird?\t7\n");
}

TEST_F(Win32Ui, BoxesShowOnStderrInUtf8) {
  std::string err;
  Box box{"Ligne 1\rLigne 2\r\rCo\x9Ct \x80 5 \x85\r\nfin\n.",
          "D\xE9"
          "compression r\xE9ussie!",
          MB_ICONINFORMATION};
  EXPECT_EQ(ShowInChild(box, "", &err), IDOK);
  EXPECT_NE(err.find("Décompression réussie!"), std::string::npos) << err;
  EXPECT_NE(err.find("Ligne 1\nLigne 2\n\nCoœt € 5 …\nfin\n."), std::string::npos) << err;
  EXPECT_NE(err.find("[OK]"), std::string::npos) << err;
  Box question{"Install?", "Title", MB_YESNO};
  EXPECT_EQ(ShowInChild(question, "y\n", &err), IDYES);
  EXPECT_NE(err.find("Title"), std::string::npos) << err;
  EXPECT_NE(err.find("[Yes] [No]"), std::string::npos) << err;
}

TEST_F(Win32Ui, EveryHighByteOf1252BecomesItsCharacter) {
  // Spot checks across the range, the 0x80-0x9F specials included.
  struct {
    unsigned char byte;
    const char* utf8;
  } cases[] = {{0x80, "€"}, {0x81, "\xC2\x81"}, {0x82, "‚"}, {0x8A, "Š"}, {0x8C, "Œ"}, {0x91, "‘"},
               {0x92, "’"}, {0x93, "“"},        {0x94, "”"}, {0x96, "–"}, {0x97, "—"}, {0x99, "™"},
               {0x9F, "Ÿ"}, {0xA0, "\xC2\xA0"}, {0xA9, "©"}, {0xC0, "À"}, {0xE9, "é"}, {0xFF, "ÿ"}};
  for (const auto& c : cases) {
    char text[4] = {'[', static_cast<char>(c.byte), ']', 0};
    Box box{text, "c", MB_OK};
    std::string err;
    EXPECT_EQ(ShowInChild(box, "", &err), IDOK);
    EXPECT_NE(err.find(std::string("[") + c.utf8 + "]"), std::string::npos)
        << std::hex << int(c.byte) << ": " << err;
  }
}

TEST_F(Win32Ui, TranscriptEscapesWhatIsNotPlainText) {
  Box box{"a\\b\rc\nd\te\xE9\x01~", " !!!! ERREUR - ERROR !!!!", MB_ICONEXCLAMATION};
  EXPECT_EQ(ShowInChild(box, ""), IDOK);
  Box stop{"tdec", " !!!! ERREUR - ERROR !!!!", 0x30};
  EXPECT_EQ(ShowInChild(stop, ""), IDOK);
  EXPECT_EQ(Transcript(), "box\t0x30\t !!!! ERREUR - ERROR !!!!\ta\\\\b\\rc\\nd\\te\\xe9\\x01~\t1\n"
                          "box\t0x30\t !!!! ERREUR - ERROR !!!!\ttdec\t1\n");
}

TEST_F(Win32Ui, WithoutATranscriptNothingIsWritten) {
  unsetenv("ZARVO_SETUP_LOG");
  Box box{"t", "c", MB_OK};
  EXPECT_EQ(ShowInChild(box, ""), IDOK);
  EXPECT_FALSE(HostExists("../transcript.log"));
}

TEST_F(Win32Ui, NullCaptionIsError) {
  Box box{"text", nullptr, MB_OK};
  EXPECT_EQ(ShowInChild(box, ""), IDOK);
  EXPECT_EQ(Transcript(), "box\t0x00\tError\ttext\t1\n");
}

TEST_F(Win32Ui, CursorsStartAsTheArrowAndEachChangeIsRecorded) {
  int status = RunInChild(
      [](void*) {
        HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
        HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
        bool ok = wait && arrow && wait != arrow;
        ok = ok && LoadCursorA(nullptr, wait == arrow ? IDC_WAIT : IDC_WAIT) == wait;
        SetLastError(0);
        ok = ok && !LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)) && GetLastError() != 0;
        ok = ok && SetCursor(wait) == arrow;
        ok = ok && SetCursor(arrow) == wait;
        ok = ok && SetCursor(wait) == arrow;
        _exit(ok ? 0 : 1);
      },
      nullptr);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Transcript(), "cursor\twait\ncursor\tarrow\ncursor\twait\n");
}

} // namespace
