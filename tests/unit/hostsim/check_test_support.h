// What the tests of the plug-in check share: a scripted desktop that plays the user, the check
// run in this process (its checks in forks of it), and readers of its report.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "hostsim/check_command.h"
#include "hostsim/document.h"
#include "hostsim/scripted_desktop.h"

namespace hostsim {

// The checks of the command as the report names them: spelled out here, not taken from the
// checker, so that a report whose names change is caught.
constexpr char kDeclined[] = "ScorixExtensionInvoke answered No answers 0";
constexpr char kDeclinedUnchanged[] =
    "ScorixExtensionInvoke answered No leaves the document byte for byte unchanged";
constexpr char kAccepted[] = "ScorixExtensionInvoke answered Yes answers 1";
constexpr char kTransactions[] = "ScorixExtensionInvoke leaves no edit transaction open";
constexpr char kFrames[] = "ScorixExtensionInvoke frees every frame it loads";
constexpr char kKnownExports[] = "the plug-in asks the host only for exports it has";

class CheckTest : public ::testing::Test {
 protected:
  static HWND HostWindow() { return reinterpret_cast<HWND>(0x00050C1A); }

  void SetUp() override {
    previous_ = platform::SetDesktop(&desktop_);
    check_desktop_.owner = HostWindow();
    check_desktop_.answer_boxes = [this](int answer) { desktop_.AnswerEveryQuestion(answer); };
    check_desktop_.boxes_shown = [this] { return static_cast<int>(desktop_.Boxes().size()); };
  }
  void TearDown() override { platform::SetDesktop(previous_); }

  CheckReport CheckWith(const std::string& plugin, const RecordStore& document,
                        const HostSetup& setup, const CheckOptions& options = CheckOptions()) {
    CheckReport report = CheckPlugin(plugin, document, check_desktop_, setup, options);
    EXPECT_TRUE(report.loaded) << report.error;
    return report;
  }
  // The check at `level` on `document`, with the given time limit for each of its steps.
  CheckReport CheckAtLevel(const std::string& plugin, int level,
                           const RecordStore& document = BuiltInCheckDocument(),
                           double time_limit_seconds = kDefaultCheckTimeLimit) {
    CheckOptions options;
    options.level = level;
    options.seed = 20261209;
    options.time_limit_seconds = time_limit_seconds;
    return CheckWith(plugin, document, HostSetup(), options);
  }

  static std::vector<std::string> Failed(const CheckReport& report) {
    std::vector<std::string> names;
    for (const CheckLine& line : report.lines) {
      if (!line.passed && !line.skipped) names.push_back(line.name);
    }
    return names;
  }
  static const CheckLine* Line(const CheckReport& report, const std::string& name) {
    for (const CheckLine& line : report.lines) {
      if (line.name == name) return &line;
    }
    ADD_FAILURE() << "no check named " << name;
    return nullptr;
  }
  static std::string Seen(const CheckReport& report, const std::string& name) {
    const CheckLine* line = Line(report, name);
    return line ? line->seen : "";
  }
  static std::string Text(const CheckReport& report) {
    std::ostringstream text;
    WriteCheckReport(report, text);
    return text.str();
  }
  static RecordStore Document(const std::string& json) {
    RecordStore document;
    std::string error;
    EXPECT_TRUE(LoadDocument(json, &document, &error)) << error;
    return document;
  }

  ScriptedDesktop desktop_;
  CheckDesktop check_desktop_;
  platform::Desktop* previous_ = nullptr;
};

}  // namespace hostsim
