// The POSIX stand-in for kernel32: the module table behind GetModuleHandleA, GetProcAddress and
// LoadLibraryA.
#include <gtest/gtest.h>

#include <string>

#include "platform/stand_in.h"

namespace {

void SampleExport() {}

FARPROC ResolveSample(void* context, const char* name) {
  const std::string* wanted = static_cast<const std::string*>(context);
  return *wanted == name ? &SampleExport : nullptr;
}

class ModuleTable : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = platform::RegisterModule("Sample.Exe", &ResolveSample, &export_);
  }
  void TearDown() override {
    if (module_) platform::UnregisterModule(module_);
  }

  std::string export_ = "FX_Sample";
  HMODULE module_ = nullptr;
};

TEST_F(ModuleTable, ModuleIsFoundWhateverTheCaseOfItsName) {
  EXPECT_EQ(GetModuleHandleA("Sample.Exe"), module_);
  EXPECT_EQ(GetModuleHandleA("SAMPLE.EXE"), module_);
  EXPECT_EQ(GetModuleHandleA("sample.exe"), module_);
}

TEST_F(ModuleTable, UnknownOrUnregisteredModuleIsNotFound) {
  EXPECT_EQ(GetModuleHandleA("OTHER.EXE"), nullptr);
  EXPECT_EQ(GetModuleHandleA("SAMPLE"), nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), nullptr);
  platform::UnregisterModule(module_);
  module_ = nullptr;
  EXPECT_EQ(GetModuleHandleA("SAMPLE.EXE"), nullptr);
}

// A plug-in that stays loaded keeps the handle it found; a host registered again under the same
// name must answer through that handle, and an unregistered one through none.
TEST_F(ModuleTable, RegisteringTheSameNameAgainKeepsTheHandle) {
  const HMODULE kept = module_;
  platform::UnregisterModule(module_);
  EXPECT_EQ(GetProcAddress(kept, "FX_Sample"), nullptr);
  std::string other_export = "FX_Other";
  module_ = platform::RegisterModule("SAMPLE.EXE", &ResolveSample, &other_export);
  EXPECT_EQ(module_, kept);
  EXPECT_EQ(GetModuleHandleA("Sample.Exe"), kept);
  EXPECT_EQ(GetProcAddress(kept, "FX_Other"), &SampleExport);
  EXPECT_EQ(GetProcAddress(kept, "FX_Sample"), nullptr);
  const HMODULE second = platform::RegisterModule("OTHER.EXE", &ResolveSample, &export_);
  EXPECT_NE(second, kept);
  platform::UnregisterModule(second);
}

TEST_F(ModuleTable, ExportIsFoundByItsName) {
  EXPECT_EQ(GetProcAddress(module_, "FX_Sample"), &SampleExport);
}

TEST_F(ModuleTable, UnknownNameOrModuleAnswersNull) {
  EXPECT_EQ(GetProcAddress(module_, "FX_Other"), nullptr);
  EXPECT_EQ(GetProcAddress(module_, nullptr), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "FX_Sample"), nullptr);
  int not_a_module = 0;
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&not_a_module), "FX_Sample"), nullptr);
}

TEST(LoadLibrary, MissingFileAnswersNull) {
  EXPECT_EQ(LoadLibraryA("/nonexistent/qx-no-such-module.so"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

// The shipped plug-in module, loaded the way a host loads it, offers its six entry points under
// their plain names, callable with the Windows API convention.
TEST(LoadLibrary, PluginModuleOffersItsSixEntryPoints) {
  HMODULE plugin = LoadLibraryA(SCORIX_PLUGIN_MODULE);
  ASSERT_NE(plugin, nullptr);
  for (const char* name :
       {"ScorixExtensionVersion", "ScorixExtensionInit", "ScorixExtensionEnumerate",
        "ScorixExtensionInvoke", "ScorixExtensionTerminate", "ScorixExtensionGetMenuStatus"}) {
    EXPECT_NE(GetProcAddress(plugin, name), nullptr) << name;
  }
  EXPECT_EQ(GetProcAddress(plugin, "Alphabetizer"), nullptr);
  using Version = std::uint32_t(WINAPI*)(std::uint32_t);
  using MenuStatus = std::int32_t(WINAPI*)(std::int32_t);
  auto version = reinterpret_cast<Version>(GetProcAddress(plugin, "ScorixExtensionVersion"));
  auto menu_status =
      reinterpret_cast<MenuStatus>(GetProcAddress(plugin, "ScorixExtensionGetMenuStatus"));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(menu_status, nullptr);
  EXPECT_EQ(version(0x10000000u), 0x10000000u);
  EXPECT_EQ(menu_status(5), 1);
  EXPECT_EQ(FreeLibrary(plugin), TRUE);
}

}  // namespace
