// The sample content of samples/: reproducible from its sources, and installed as meant.
#include "pack_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;
using pt::Pack;

TEST(SampleContent, IsReproducibleAndInstallsAsMeant) {
  const char* source = std::getenv("ZARVO_SOURCE");
  const fs::path samples = fs::path(source ? source : ZARVO_SOURCE_DIR) / "samples";
  pt::ScratchDir dir;
  auto r = Pack({"make-dcw", "-o", (dir / "demo.dcw").string(), (samples / "dcw-source").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_TRUE(zt::ReadFile(dir / "demo.dcw") == zt::ReadFile(samples / "content" / "demo.dcw"))
      << "samples/content/demo.dcw is not what make-dcw builds from samples/dcw-source";

  zt::WriteFile(dir / "stub", pt::ElfStub());
  const std::string installer = (dir / "setup").string();
  r = Pack({"create", "--stub", (dir / "stub").string(), "--title", "Démo Zarvo", "--cleanup",
            "*.bak", "-o", installer, (samples / "content").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  r = Pack({"verify", installer});
  EXPECT_EQ(r.ExitCode, 0) << r.Stdout << r.Stderr;
  r = Pack({"extract", installer, (dir / "zarvo").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(pt::Names(dir / "zarvo"),
            (std::vector<std::string>{"credits.txt", "demo.dcw", "lisezmoi.dcc"}));

  r = Pack({"decode", (dir / "zarvo" / "lisezmoi.dcc").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("Lisez-moi : contenu de démonstration pour Zarvo\n"), std::string::npos)
      << r.Stdout;
  r = Pack({"decode", (dir / "zarvo" / "demo.dcw").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_NE(r.Stdout.find("== section 2 \"MOTS\": text, 5 lines"), std::string::npos) << r.Stdout;
  EXPECT_NE(r.Stdout.find("élève : personne qui reçoit un enseignement.\n"), std::string::npos)
      << r.Stdout;
  EXPECT_NE(r.Stdout.find("== section 3 \"META\": raw, type 12, 25 bytes"), std::string::npos);
}
