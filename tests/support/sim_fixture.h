// A fresh simulated host for each test: no records, no calls, the plug-in's bindings forgotten,
// the host registered as "SCORIX.EXE", and a scripted desktop in place of the terminal.
#pragma once

#include <gtest/gtest.h>

#include "hostsim/scripted_desktop.h"
#include "hostsim/sim_host.h"
#include "tests/support/host_bindings.h"

class SimHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetHostBindings();
    host().Reset();
    host().RegisterAs("SCORIX.EXE");
    previous_desktop_ = platform::SetDesktop(&desktop_);
  }

  void TearDown() override {
    platform::SetDesktop(previous_desktop_);
    host().Unregister();
    ForgetHostBindings();
  }

  static hostsim::SimHost& host() { return hostsim::SimHost::Instance(); }
  hostsim::ScriptedDesktop& desktop() { return desktop_; }

 private:
  hostsim::ScriptedDesktop desktop_;
  platform::Desktop* previous_desktop_ = nullptr;
};
