// The root of every framework class: a class name, a dump, flag helpers and diagnostics.
#pragma once

class __FCBase {
 public:
  virtual const char* ClassName() { return "__FCBase"; }
  virtual void DebugDump() {}
  virtual ~__FCBase() = default;
};
