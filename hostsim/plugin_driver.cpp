// Placeholder until the measuring driver lands.
#include "hostsim/plugin_driver.h"

namespace hostsim {
PluginDriver::~PluginDriver() { Unload(); }
bool PluginDriver::Load(const std::string&, std::string* error) {
  if (error) *error = "not implemented";
  return false;
}
void PluginDriver::Announce(PluginSession*, unsigned long) {}
long PluginDriver::Invoke(HWND, PluginSession*) { return 0; }
void PluginDriver::Terminate(PluginSession*) {}
void PluginDriver::Unload() { module_ = nullptr; }
std::uint32_t PluginDriver::Call(const char*, const std::uint32_t*, int, PluginSession*) {
  return 0;
}
}  // namespace hostsim
