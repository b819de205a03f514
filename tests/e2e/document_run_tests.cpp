// The shipped Windows plug-in sorting a real document in the Windows host program, under Wine:
// the document must end exactly as it does in the simulated host on POSIX.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hostsim/document.h"
#include "tests/e2e/host_process.h"

namespace {

std::string Sample(const std::string& name) {
  return std::string(SAMPLES_DIR) + "/" + name;
}

std::string OutPath() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(E2E_WORK_DIR) + "/" + test->name() + ".after.json";
}

hostsim::RecordStore Load(const std::string& path) {
  hostsim::RecordStore store;
  std::string error;
  EXPECT_TRUE(hostsim::LoadDocumentFile(path, &store, &error)) << error;
  return store;
}

// Runs SCORIX.EXE's `run` verb on a sample, answering its box, and reads the document it wrote.
hostsim::RecordStore RunOnSample(const std::string& sample, const std::string& answer) {
  const std::string out = OutPath();
  std::remove(out.c_str());
  const e2e::HostRun run =
      e2e::RunHost(e2e::WindowsPath(SCORIX_EXE),
                   {"run", e2e::WindowsPath(PLUGIN_DLL), e2e::WindowsPath(Sample(sample)),
                    "--answer", answer, "--out", e2e::WindowsPath(out)},
                   "");
  EXPECT_TRUE(run.finished) << "did the confirmation box stay unanswered?";
  EXPECT_EQ(run.exit_code, 0u);
  return Load(out);
}

TEST(DocumentRun, RealisticScoreAnsweredYesEndsAsInTheSimulatedHostOnPosix) {
  const hostsim::RecordStore after = RunOnSample("realistic_score.json", "yes");
  EXPECT_TRUE(after == Load(Sample("realistic_score.sorted.json")));
  EXPECT_TRUE(after != Load(Sample("realistic_score.json")));
}

// The sample plug-in built on the note-entry classes: frames lent, edited, cleaned, saved and
// freed by the Windows DLL end as on POSIX.
TEST(DocumentRun, FlipStemsEndsAsInTheSimulatedHostOnPosix) {
  const std::string out = OutPath();
  std::remove(out.c_str());
  const e2e::HostRun run = e2e::RunHost(
      e2e::WindowsPath(SCORIX_EXE),
      {"run", e2e::WindowsPath(STEM_FLIPPER_DLL), e2e::WindowsPath(Sample("note_entries.json")),
       "--answer", "yes", "--out", e2e::WindowsPath(out)},
      "");
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 0u);
  const hostsim::RecordStore after = Load(out);
  EXPECT_TRUE(after == Load(Sample("note_entries.flipped.json")));
  EXPECT_TRUE(after != Load(Sample("note_entries.json")));
}

TEST(DocumentRun, RealisticScoreAnsweredNoIsUntouched) {
  EXPECT_TRUE(RunOnSample("realistic_score.json", "no") == Load(Sample("realistic_score.json")));
}

}  // namespace
