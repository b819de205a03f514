// The binding functions of the host API tables. Each row names the export, its argument and
// result widths and what it answers when the host lacks the export; vaz/binding.h carries the
// mechanism. The functions with bookkeeping of their own are written out at the end.
#include "vaz/binding.h"
#include "vaz/host_api.h"

using vaz::binding::B;
using vaz::binding::kRequired;
using vaz::binding::L;
using vaz::binding::P;
using vaz::binding::S;
using vaz::binding::U;
using vaz::binding::V;

// One binding function: the slot of its export, then the forward with the fallback.
#define VAZ_BIND(Result, Name, Params, Fallback, ...)                              \
  Result WINAPI Name Params {                                                      \
    VAZ_HOST_SLOT(Name);                                                           \
    return ::vaz::binding::Forward<Result>(slot.Resolve(), Fallback, __VA_ARGS__); \
  }

// Dialogs, alerts and the user interface
VAZ_BIND(long, FX_Dialog, (short a1, long a2, long a3, short a4, long a5, unsigned long version),
         kRequired, S(a1), L(a2), L(a3), S(a4), L(a5), V(version))  // [required]
VAZ_BIND(long, FX_EndDialog, (long a1, unsigned long version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(long, FX_EnableDlgItem, (long a1, long a2, short a3, unsigned long version), kRequired,
         L(a1), L(a2), S(a3), V(version))  // [required]
VAZ_BIND(long, FX_SetDlgFocus, (long a1, long a2, unsigned long version), kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(long, FX_GetDlgCntlVal, (long a1, long a2, long a3, short a4, unsigned long version),
         kRequired, L(a1), L(a2), L(a3), S(a4), V(version))  // [required]
VAZ_BIND(long, FX_SetDlgCntlVal, (long a1, long a2, long a3, long a4, unsigned long version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(long, FX_GetDlgItemVal, (long a1, long a2, short a3, unsigned long version), kRequired,
         L(a1), L(a2), S(a3), V(version))  // [required]
VAZ_BIND(long, FX_SetDlgItemVal, (long a1, long a2, short a3, long a4, unsigned long version),
         kRequired, L(a1), L(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(long, FX_GetDlgString, (long a1, long a2, long a3, short a4, unsigned long version),
         kRequired, L(a1), L(a2), L(a3), S(a4), V(version))  // [required]
VAZ_BIND(long, FX_SetDlgString, (long a1, long a2, long a3, unsigned long version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(long, FX_GetDlgItemUser, (long a1, long a2, short a3, long a4, unsigned long version),
         kRequired, L(a1), L(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_AlertMessage,
         (long a1, unsigned short a2, long a3, long a4, unsigned long version), kRequired, L(a1),
         U(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_FontDialog,
         (long a1, long a2, long a3, short a4, short a5, unsigned long version), kRequired, L(a1),
         L(a2), L(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(short, FX_SymbolDialog, (long a1, long a2, long a3, unsigned long version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_SelectionDialog, (long a1, short a2, long a3, long a4, unsigned long version),
         kRequired, L(a1), S(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_SelectExpressionDialog,
         (long a1, long a2, long a3, long a4, unsigned long version), 0, L(a1), L(a2), L(a3), L(a4),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_SetTimer, (long a1, short a2, long a3, unsigned long version), kRequired, L(a1),
         S(a2), L(a3), V(version))  // [required]
VAZ_BIND(long, FX_KillTimer, (long a1, short a2, unsigned long version), 0, L(a1), S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_EnableBusyDetection, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_RebuildMenuSystem, (unsigned short a1, unsigned long version), 0, U(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_ExecuteMenuItem, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_OpenHelpItem, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]

// Music editing, regions and layout
VAZ_BIND(short, FX_GetMaxLayers, (unsigned long version), 4, V(version))  // [fallback: 4]
VAZ_BIND(short, FX_GetShowLayer, (short a1, unsigned long version), kRequired, S(a1),
         V(version))  // [required]
VAZ_BIND(short, FX_SlotToInst, (short a1, unsigned short a2, unsigned long version), kRequired,
         S(a1), U(a2), V(version))  // [required]
VAZ_BIND(short, FX_InstToSlot, (short a1, unsigned short a2, unsigned long version), kRequired,
         S(a1), U(a2), V(version))  // [required]
VAZ_BIND(short, FX_GetCurERegions, (long a1, long a2, long a3, unsigned long version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(long, FX_SetCurERegion, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_RebeamRegion, (long a1, long a2, unsigned long version), kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(short, FX_RebarRegion,
         (long a1, unsigned short a2, short a3, short a4, short a5, unsigned long version),
         kRequired, L(a1), U(a2), S(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(long, FX_NoteMover,
         (long a1, long a2, short a3, short a4, short a5, unsigned long version), kRequired, L(a1),
         L(a2), S(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(short, FX_MassMover, (long a1, long a2, unsigned long version), 0, L(a1), L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_CopyCutMusic, (long a1, short a2, unsigned long version), 0, L(a1), S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(unsigned char, FX_InsertMergeMusic,
         (long a1, long a2, unsigned char a3, unsigned long version), 0, L(a1), L(a2), B(a3),
         V(version))  // [fallback: 0]
VAZ_BIND(unsigned char, FX_DisposeScxClipFileToken, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_InsertMeasures, (short a1, short a2, short a3, unsigned long version), 0, S(a1),
         S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_DeleteMeasures, (short a1, short a2, short a3, unsigned long version), 0, S(a1),
         S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(long, FX_DeleteMidiExpressions, (short a1, short a2, unsigned long version), 0, S(a1),
         S(a2), V(version))  // [fallback: 0]
VAZ_BIND(long, FX_DeleteTempoRecords, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_AutoRehearsalInsert,
         (short a1, short a2, short a3, long a4, short a5, unsigned long version), 0, S(a1), S(a2),
         S(a3), L(a4), S(a5), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetKeySig, (short a1, short a2, short a3, long a4, unsigned long version),
         kRequired, S(a1), S(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(long, FX_GetMeasureDuration, (short a1, short a2, unsigned long version), kRequired, S(a1),
         S(a2), V(version))  // [required]
VAZ_BIND(long, FX_GetTGFDuration, (long a1, unsigned long version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(long, FX_UpdateLayout, (short a1, short a2, unsigned long version), kRequired, S(a1),
         S(a2), V(version))  // [required]
VAZ_BIND(long, FX_RedrawMusic, (long a1, unsigned long version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(long, FX_ScrollTo, (short a1, short a2, unsigned long version), kRequired, S(a1), S(a2),
         V(version))  // [required]

// Edit transactions
VAZ_BIND(short, FX_MassEditProgress,
         (long a1, short a2, short a3, short a4, short a5, unsigned long version), kRequired, L(a1),
         S(a2), S(a3), S(a4), S(a5), V(version))  // [required]

// MIDI and playback
VAZ_BIND(long, FX_Playback,
         (short a1, short a2, short a3, unsigned short a4, unsigned long version), kRequired, S(a1),
         S(a2), S(a3), U(a4), V(version))  // [required]
VAZ_BIND(short, FX_ListenToMidi, (long a1, long a2, unsigned long version), kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(short, FX_CopyMidi, (long a1, long a2, long a3, unsigned long version), kRequired, L(a1),
         L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_PasteMidi, (long a1, long a2, long a3, unsigned long version), kRequired, L(a1),
         L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_NoteToMidi, (long a1, short a2, unsigned long version), kRequired, L(a1), S(a2),
         V(version))  // [required]
VAZ_BIND(long, FX_MidiNoteToString, (short a1, long a2, short a3, short a4, unsigned long version),
         kRequired, S(a1), L(a2), S(a3), S(a4), V(version))  // [required]
VAZ_BIND(short, FX_StringToMidiNote, (long a1, unsigned long version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(long, FX_ProcessMidiData, (long a1, unsigned long version), -1, L(a1),
         V(version))                                                            // [fallback: -1]
VAZ_BIND(short, FX_GetPlaybackSystem, (unsigned long version), -1, V(version))  // [fallback: -1]
VAZ_BIND(short, FX_QueryK2Slot,
         (long a1, long a2, long a3, long a4, long a5, long a6, unsigned long version), 0, L(a1),
         L(a2), L(a3), L(a4), L(a5), L(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_QueryAriaSlot,
         (long a1, long a2, long a3, long a4, long a5, long a6, long a7, long a8, long a9, long a10,
          long a11, long a12, long a13, long a14, long a15, long a16, long a17, long a18, long a19,
          unsigned long version),
         0, L(a1), L(a2), L(a3), L(a4), L(a5), L(a6), L(a7), L(a8), L(a9), L(a10), L(a11), L(a12),
         L(a13), L(a14), L(a15), L(a16), L(a17), L(a18), L(a19), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetPercMapRefData,
         (unsigned short a1, long a2, long a3, short a4, unsigned long version), 0, U(a1), L(a2),
         L(a3), S(a4), V(version))  // [fallback: 0]
VAZ_BIND(unsigned short, FX_CreatePercMapRefData, (long a1, long a2, unsigned long version), 0,
         L(a1), L(a2), V(version))  // [fallback: 0]

// Fonts and text
VAZ_BIND(short, FX_FontNameToNum, (long a1, unsigned long version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(short, FX_FontNumToName, (short a1, long a2, unsigned long version), kRequired, S(a1),
         L(a2), V(version))  // [required]
VAZ_BIND(unsigned char, FX_SetDefaultMusicFont,
         (short a1, short a2, unsigned short a3, unsigned long version), 0, S(a1), S(a2), U(a3),
         V(version))                                                         // [fallback: 0]
VAZ_BIND(long, FX_GetTextEncoding, (unsigned long version), -2, V(version))  // [fallback: -2]
VAZ_BIND(long, FX_GetSyllable, (long a1, long a2, long a3, long a4, unsigned long version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_SyllableInfo,
         (long a1, short a2, short a3, long a4, short a5, long a6, long a7, long a8, long a9,
          unsigned long version),
         kRequired, L(a1), S(a2), S(a3), L(a4), S(a5), L(a6), L(a7), L(a8), L(a9),
         V(version))  // [required]
VAZ_BIND(long, FX_ParseCaretCommand, (long a1, long a2, long a3, long a4, unsigned long version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]

// Documents, paths and windows
VAZ_BIND(short, FX_GetCurrentNoduraDocument, (unsigned long version), 0,
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SetCurrentNoduraDocument, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetNextNoduraDocument, (short a1, unsigned long version), 0, S(a1),
         V(version))                                                           // [fallback: 0]
VAZ_BIND(short, FX_NewNoduraDocument, (unsigned long version), 0, V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CloseNoduraDocument, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_IsNoduraDocumentDirty, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_SetNoduraDocumentDirty, (short a1, short a2, unsigned long version), 0, S(a1),
         S(a2), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_OpenDocument,
         (long a1, short a2, short a3, short a4, short a5, short a6, unsigned long version), 0,
         L(a1), S(a2), S(a3), S(a4), S(a5), S(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SaveDocument, (long a1, short a2, short a3, unsigned long version), 0, L(a1),
         S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CloseCurrentDocumentWindow, (unsigned long version), 0,
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetDocumentPath, (short a1, long a2, unsigned long version), 0, S(a1), L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetScorixPath, (long a1, long a2, unsigned long version), 0, L(a1), L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetGraphicPath, (long a1, long a2, long a3, long a4, unsigned long version), 0,
         L(a1), L(a2), L(a3), L(a4), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CreateGraphic,
         (long a1, short a2, long a3, long a4, long a5, long a6, unsigned long version), 0, L(a1),
         S(a2), L(a3), L(a4), L(a5), L(a6), V(version))                     // [fallback: 0]
VAZ_BIND(short, FX_GetWindowCount, (unsigned long version), 0, V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetWindowInfoList, (long a1, short a2, unsigned long version), 0, L(a1), S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetCurrentWindowInfo, (long a1, unsigned long version), 0, L(a1),
         V(version))                                                         // [fallback: 0]
VAZ_BIND(long, FX_GetCurrentWindow, (unsigned long version), 0, V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SetCurrentWindow, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]

// Printing
VAZ_BIND(long, FX_GetPrintSettings, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_PrintCurrentDocument, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_PrintDocument, (short a1, long a2, unsigned long version), 0, S(a1), L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_PrintDocuments, (long a1, short a2, long a3, unsigned long version), 0, L(a1),
         S(a2), L(a3), V(version))  // [fallback: 0]

// Linked parts
VAZ_BIND(short, FX_GetCurrentPartID, (unsigned long version), -1, V(version))  // [fallback: -1]
VAZ_BIND(long, FX_SetCurrentPartID, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_SetCurrentPartInView, (short a1, unsigned long version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetNextPartID, (short a1, unsigned long version), -1, S(a1),
         V(version))                                                    // [fallback: -1]
VAZ_BIND(long, FX_CountParts, (unsigned long version), -1, V(version))  // [fallback: -1]
VAZ_BIND(long, FX_GetKvtParts, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]

// Layout metrics
VAZ_BIND(short, FX_GetEntryMetrics,
         (short a1, short a2, long a3, long a4, long a5, short a6, unsigned long version),
         kRequired, S(a1), S(a2), L(a3), L(a4), L(a5), S(a6), V(version))  // [required]
VAZ_BIND(short, FX_GetEntryMetrics2009a,
         (short a1, short a2, long a3, long a4, long a5, short a6, unsigned long version), 0, S(a1),
         S(a2), L(a3), L(a4), L(a5), S(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetTGFEntryMetrics2009a,
         (long a1, long a2, long a3, short a4, unsigned long version), 0, L(a1), L(a2), L(a3),
         S(a4), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetMeasureMetrics,
         (short a1, short a2, long a3, short a4, unsigned long version), 0, S(a1), S(a2), L(a3),
         S(a4), V(version))  // [fallback: 0]
VAZ_BIND(long, FX_FreeEntryMetrics, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(long, FX_FreeMeasureMetrics, (long a1, unsigned long version), 0, L(a1),
         V(version))  // [fallback: 0]

// ---- Functions with bookkeeping or compatibility logic of their own ----

namespace {
// Hosts up to this version lack a working FX_ShowHideDlgItem; the binding does it through Win32.
constexpr unsigned long kLastVersionWithoutShowHide = 0x0B01FFFF;
// Hosts reject chord analysis requests that carry a version word this old.
constexpr unsigned long kLastVersionBeforeChordAnalysis = 0x0AFFFFFF;
constexpr unsigned long kChordAnalysisVersion = 0x0B000000;
const char kNoPartName[] = " ";
}  // namespace

long WINAPI FX_ShowHideDlgItem(long a1, long a2, short a3, unsigned long version) {  // [Win32]
  VAZ_HOST_SLOT(FX_ShowHideDlgItem);
  vaz::binding::GenericProc address = slot.Resolve();
  if (version > kLastVersionWithoutShowHide && address) {
    return vaz::binding::Forward<long>(address, kRequired, L(a1), L(a2), S(a3), V(version));
  }
  HWND item = GetDlgItem(reinterpret_cast<HWND>(a1), static_cast<int>(a2));
  return ShowWindow(item, a3 != 0 ? SW_SHOWNORMAL : SW_HIDE);
}

long WINAPI FX_SetDlgItemUser(long a1, long a2, short a3, double a4,
                              unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_SetDlgItemUser);
  const vaz::binding::DoubleWords d = vaz::binding::D(a4);
  return vaz::binding::Forward<long>(slot.Resolve(), kRequired, L(a1), L(a2), S(a3), d.low, d.high,
                                     V(version));
}

long WINAPI FX_SelectNote(EXENTRY* entry, short a2, unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_SelectNote);
  return vaz::binding::Forward<long>(slot.Resolve(), kRequired, P(entry), S(a2), V(version));
}

short WINAPI FX_GetTGFEntryMetrics(EXTGF2005a* frame, EEntryMetrics* entry_metrics,
                                   EMeasureMetrics* measure_metrics, short a4,
                                   unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_GetTGFEntryMetrics);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), P(entry_metrics),
                                      P(measure_metrics), S(a4), V(version));
}

short WINAPI FX_AnalyzeChord(long a1, long a2, long a3, unsigned long version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_AnalyzeChord);
  if (version <= kLastVersionBeforeChordAnalysis) version = kChordAnalysisVersion;
  return vaz::binding::Forward<short>(slot.Resolve(), 0, L(a1), L(a2), L(a3), V(version));
}

long WINAPI FX_StartScorixEdit(long a1, unsigned long version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_StartScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  ++ScorixEditDepth;
  return vaz::binding::Forward<long>(address, 0, L(a1), V(version));
}

short WINAPI FX_EndScorixEdit(unsigned long version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_EndScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  if (ScorixEditDepth <= 0) return 1;  // nothing open: nothing for the host to end
  --ScorixEditDepth;
  return vaz::binding::Forward<short>(address, 0, V(version));
}

long WINAPI FX_CancelScorixEdit(unsigned long version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_CancelScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  if (ScorixEditDepth <= 0) return 0;  // nothing open: nothing to cancel
  --ScorixEditDepth;
  return vaz::binding::Forward<long>(address, 0, V(version));
}

long WINAPI FX_StartMassEdit(long a1, long a2, unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_StartMassEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  ++MassEditDepth;
  return vaz::binding::Forward<long>(address, kRequired, L(a1), L(a2), V(version));
}

long WINAPI FX_EndMassEdit(long a1, short a2, unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_EndMassEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  --MassEditDepth;
  return vaz::binding::Forward<long>(address, kRequired, L(a1), S(a2), V(version));
}

const char* WINAPI FX_GetPartName(short a1, unsigned long version) {  // [fallback: " "]
  VAZ_HOST_SLOT(FX_GetPartName);
  vaz::binding::GenericProc address = slot.Resolve();
  if (!address) return kNoPartName;
  return reinterpret_cast<const char*>(
      vaz::binding::Forward<long>(address, kRequired, S(a1), V(version)));
}
