// The exported FX_ functions of the simulated host. Each takes its arguments as words,
// exactly as many as the real export (stdcall: the callee removes them), and hands them to the
// host object, which records the call and answers it.
#include "hostsim/export_list.h"
#include "hostsim/sim_host.h"

#ifdef _WIN32
#define HOSTSIM_EXPORT extern "C" __declspec(dllexport)
#else
#define HOSTSIM_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using hostsim::Word;

#define HOSTSIM_PARAMS_1 Word a1
#define HOSTSIM_ARGS_1 a1
#define HOSTSIM_PARAMS_2 Word a1, Word a2
#define HOSTSIM_ARGS_2 a1, a2
#define HOSTSIM_PARAMS_3 Word a1, Word a2, Word a3
#define HOSTSIM_ARGS_3 a1, a2, a3
#define HOSTSIM_PARAMS_4 Word a1, Word a2, Word a3, Word a4
#define HOSTSIM_ARGS_4 a1, a2, a3, a4
#define HOSTSIM_PARAMS_5 Word a1, Word a2, Word a3, Word a4, Word a5
#define HOSTSIM_ARGS_5 a1, a2, a3, a4, a5
#define HOSTSIM_PARAMS_6 Word a1, Word a2, Word a3, Word a4, Word a5, Word a6
#define HOSTSIM_ARGS_6 a1, a2, a3, a4, a5, a6
#define HOSTSIM_PARAMS_7 Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7
#define HOSTSIM_ARGS_7 a1, a2, a3, a4, a5, a6, a7
#define HOSTSIM_PARAMS_8 Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8
#define HOSTSIM_ARGS_8 a1, a2, a3, a4, a5, a6, a7, a8
#define HOSTSIM_PARAMS_9 \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9
#define HOSTSIM_ARGS_9 a1, a2, a3, a4, a5, a6, a7, a8, a9
#define HOSTSIM_PARAMS_10 \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10
#define HOSTSIM_ARGS_10 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10
#define HOSTSIM_PARAMS_11                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11
#define HOSTSIM_ARGS_11 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11
#define HOSTSIM_PARAMS_12                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12
#define HOSTSIM_ARGS_12 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12
#define HOSTSIM_PARAMS_13                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13
#define HOSTSIM_ARGS_13 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13
#define HOSTSIM_PARAMS_14                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14
#define HOSTSIM_ARGS_14 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14
#define HOSTSIM_PARAMS_15                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14, Word a15
#define HOSTSIM_ARGS_15 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15
#define HOSTSIM_PARAMS_16                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14, Word a15, Word a16
#define HOSTSIM_ARGS_16 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16
#define HOSTSIM_PARAMS_17                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14, Word a15, Word a16, Word a17
#define HOSTSIM_ARGS_17 a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17
#define HOSTSIM_PARAMS_18                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14, Word a15, Word a16, Word a17, Word a18
#define HOSTSIM_ARGS_18 \
  a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18
#define HOSTSIM_PARAMS_19                                                                    \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10, \
      Word a11, Word a12, Word a13, Word a14, Word a15, Word a16, Word a17, Word a18, Word a19
#define HOSTSIM_ARGS_19 \
  a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18, a19
#define HOSTSIM_PARAMS_20                                                                       \
  Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7, Word a8, Word a9, Word a10,    \
      Word a11, Word a12, Word a13, Word a14, Word a15, Word a16, Word a17, Word a18, Word a19, \
      Word a20
#define HOSTSIM_ARGS_20 \
  a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18, a19, a20

#define HOSTSIM_DEFINE_EXPORT(name, words)                                       \
  HOSTSIM_EXPORT Word WINAPI name(HOSTSIM_PARAMS_##words) {                      \
    const Word args[] = {HOSTSIM_ARGS_##words};                                  \
    return hostsim::SimHost::Instance().Dispatch(hostsim::ExportId::name, args); \
  }

HOSTSIM_EXPORTS(HOSTSIM_DEFINE_EXPORT)

namespace hostsim {

namespace {
struct ExportEntry {
  const char* name;
  int words;
  FARPROC address;
};

#define HOSTSIM_EXPORT_ENTRY(name, words) \
  {#name, words, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&::name))},
const ExportEntry kExports[] = {HOSTSIM_EXPORTS(HOSTSIM_EXPORT_ENTRY)};
#undef HOSTSIM_EXPORT_ENTRY
static_assert(sizeof(kExports) / sizeof(kExports[0]) == kExportCount, "one entry per export");
}  // namespace

const char* ExportName(ExportId id) {
  return kExports[static_cast<int>(id)].name;
}
int ExportWordCount(ExportId id) {
  return kExports[static_cast<int>(id)].words;
}
FARPROC ExportAddress(ExportId id) {
  return kExports[static_cast<int>(id)].address;
}

bool FindExport(const std::string& name, ExportId* id) {
  for (int i = 0; i < kExportCount; ++i) {
    if (name == kExports[i].name) {
      *id = static_cast<ExportId>(i);
      return true;
    }
  }
  return false;
}

}  // namespace hostsim
