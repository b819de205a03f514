// How the binding finds the host: the module once, each export on its first call only, and what
// it keeps when either is missing.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/stand_in.h"
#include "tests/support/sim_fixture.h"
#include "vaz/vaz.h"

namespace {

// Watches GetModuleHandleA and serves the simulated host's exports under "SCORIX.EXE" through a
// resolver that counts how often each name is asked for.
class HostLookup : public SimHostTest {
 protected:
  void SetUp() override {
    SimHostTest::SetUp();
    platform::SetModuleLookupObserver(&RecordModuleLookup, this);
  }

  void TearDown() override {
    platform::SetModuleLookupObserver(nullptr, nullptr);
    if (counting_module_) platform::UnregisterModule(counting_module_);
    SimHostTest::TearDown();
  }

  // Puts the counting resolver in place of the simulated host's own registration.
  void ServeHostThroughCountingResolver() {
    host().Unregister();
    counting_module_ = platform::RegisterModule("SCORIX.EXE", &CountingResolver, this);
  }

  const std::vector<std::string>& module_lookups() const { return module_lookups_; }
  int export_lookups(const std::string& name) const {
    auto found = export_lookups_.find(name);
    return found == export_lookups_.end() ? 0 : found->second;
  }
  int all_export_lookups() const {
    int total = 0;
    for (const auto& entry : export_lookups_) total += entry.second;
    return total;
  }

 private:
  static void RecordModuleLookup(void* context, const char* name, HMODULE) {
    static_cast<HostLookup*>(context)->module_lookups_.push_back(name ? name : "");
  }

  static FARPROC CountingResolver(void* context, const char* name) {
    ++static_cast<HostLookup*>(context)->export_lookups_[name];
    hostsim::ExportId id;
    if (!hostsim::FindExport(name, &id) || !host().HasExport(name)) return nullptr;
    return hostsim::ExportAddress(id);
  }

  std::vector<std::string> module_lookups_;
  std::map<std::string, int> export_lookups_;
  HMODULE counting_module_ = nullptr;
};

using Names = std::vector<std::string>;

TEST_F(HostLookup, ModuleIsLookedUpOnFirstUseAndNeverAgain) {
  EXPECT_TRUE(module_lookups().empty());
  FX_GetShowLayer(1, kScorixApiVersion);
  FX_GetShowLayer(2, kScorixApiVersion);
  FX_GetMaxLayers(kScorixApiVersion);
  EXPECT_EQ(module_lookups(), Names{"SCORIX.EXE"});
  EXPECT_EQ(host().CountCalls("FX_GetShowLayer"), 2);
}

TEST_F(HostLookup, MissingModuleIsLookedUpOnceUnderBothNamesAndStaysMissing) {
  host().Unregister();
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(module_lookups(), (Names{"SCORIX.EXE", "VAVAVER.EXE"}));

  // A host that appears later is not seen: the missing module is kept.
  host().RegisterAs("SCORIX.EXE");
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(FX_GetShowLayer(1, kScorixApiVersion), 0);
  EXPECT_EQ(GetScorixHandle(), nullptr);
  EXPECT_EQ(module_lookups().size(), 2u);
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(HostLookup, HostIsFoundUnderItsOtherName) {
  host().RegisterAs("VAVAVER.EXE");
  host().SetResult("FX_GetShowLayer", 3);
  EXPECT_EQ(FX_GetShowLayer(1, kScorixApiVersion), 3);
  EXPECT_EQ(host().CountCalls("FX_GetShowLayer"), 1);
  EXPECT_EQ(GetScorixHandle(), GetModuleHandleA("VAVAVER.EXE"));
  EXPECT_EQ(module_lookups(), (Names{"SCORIX.EXE", "VAVAVER.EXE", "VAVAVER.EXE"}));
}

TEST_F(HostLookup, ScorixNameComesBeforeTheOtherName) {
  HMODULE other = platform::RegisterModule("VAVAVER.EXE", nullptr, nullptr);
  EXPECT_EQ(GetScorixHandle(), GetModuleHandleA("SCORIX.EXE"));
  EXPECT_NE(GetScorixHandle(), other);
  EXPECT_EQ(module_lookups(), (Names{"SCORIX.EXE", "SCORIX.EXE"}));
  platform::UnregisterModule(other);
}

TEST_F(HostLookup, ExportIsLookedUpOnItsFirstCallOnly) {
  ServeHostThroughCountingResolver();
  EXPECT_EQ(all_export_lookups(), 0);  // nothing is bound before it is used
  for (int i = 0; i < 3; ++i) FX_GetShowLayer(1, kScorixApiVersion);
  EXPECT_EQ(export_lookups("FX_GetShowLayer"), 1);
  EXPECT_EQ(all_export_lookups(), 1);  // a function never called is never looked up
  EXPECT_EQ(host().CountCalls("FX_GetShowLayer"), 3);
}

TEST_F(HostLookup, KeptAddressIsUsedAfterTheExportDisappears) {
  ServeHostThroughCountingResolver();
  FX_GetShowLayer(1, kScorixApiVersion);
  host().RemoveExport("FX_GetShowLayer");
  host().SetResult("FX_GetShowLayer", 9);
  EXPECT_EQ(FX_GetShowLayer(1, kScorixApiVersion), 9);
  EXPECT_EQ(host().CountCalls("FX_GetShowLayer"), 2);
  EXPECT_EQ(export_lookups("FX_GetShowLayer"), 1);
}

TEST_F(HostLookup, MissingExportIsLookedUpOnceAndStaysMissing) {
  ServeHostThroughCountingResolver();
  host().RemoveExport("FX_GetMaxLayers");
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  host().RestoreExport("FX_GetMaxLayers");
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(export_lookups("FX_GetMaxLayers"), 1);
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(HostLookup, EachFunctionKeepsItsOwnAddress) {
  ServeHostThroughCountingResolver();
  host().SetResult("FX_GetShowLayer", 1);
  host().SetResult("FX_GetMaxLayers", 2);
  EXPECT_EQ(FX_GetShowLayer(0, kScorixApiVersion), 1);
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 2);
  EXPECT_EQ(FX_GetShowLayer(0, kScorixApiVersion), 1);
  EXPECT_EQ(export_lookups("FX_GetShowLayer"), 1);
  EXPECT_EQ(export_lookups("FX_GetMaxLayers"), 1);
}

}  // namespace
