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
VAZ_BIND(std::intptr_t, FX_Dialog,
         (short a1, std::intptr_t a2, std::intptr_t a3, short a4, std::intptr_t a5,
          std::uint32_t version),
         kRequired, S(a1), L(a2), L(a3), S(a4), L(a5), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_EndDialog, (std::intptr_t a1, std::uint32_t version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_EnableDlgItem,
         (std::intptr_t a1, std::intptr_t a2, short a3, std::uint32_t version), kRequired, L(a1),
         L(a2), S(a3), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_SetDlgFocus, (std::intptr_t a1, std::intptr_t a2, std::uint32_t version),
         kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetDlgCntlVal,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4, std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), S(a4), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_SetDlgCntlVal,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetDlgItemVal,
         (std::intptr_t a1, std::intptr_t a2, short a3, std::uint32_t version), kRequired, L(a1),
         L(a2), S(a3), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_SetDlgItemVal,
         (std::intptr_t a1, std::intptr_t a2, short a3, std::intptr_t a4, std::uint32_t version),
         kRequired, L(a1), L(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetDlgString,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4, std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), S(a4), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_SetDlgString,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::uint32_t version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetDlgItemUser,
         (std::intptr_t a1, std::intptr_t a2, short a3, std::intptr_t a4, std::uint32_t version),
         kRequired, L(a1), L(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_AlertMessage,
         (std::intptr_t a1, unsigned short a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         kRequired, L(a1), U(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_FontDialog,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4, short a5,
          std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(short, FX_SymbolDialog,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::uint32_t version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_SelectionDialog,
         (std::intptr_t a1, short a2, std::intptr_t a3, std::intptr_t a4, std::uint32_t version),
         kRequired, L(a1), S(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_SelectExpressionDialog,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         0, L(a1), L(a2), L(a3), L(a4),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_SetTimer,
         (std::intptr_t a1, short a2, std::intptr_t a3, std::uint32_t version), kRequired, L(a1),
         S(a2), L(a3), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_KillTimer, (std::intptr_t a1, short a2, std::uint32_t version), 0, L(a1),
         S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_EnableBusyDetection, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_RebuildMenuSystem, (unsigned short a1, std::uint32_t version), 0, U(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_ExecuteMenuItem, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_OpenHelpItem, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]

// Music editing, regions and layout
VAZ_BIND(short, FX_GetMaxLayers, (std::uint32_t version), 4, V(version))  // [fallback: 4]
VAZ_BIND(short, FX_GetShowLayer, (short a1, std::uint32_t version), kRequired, S(a1),
         V(version))  // [required]
VAZ_BIND(short, FX_SlotToInst, (short a1, unsigned short a2, std::uint32_t version), kRequired,
         S(a1), U(a2), V(version))  // [required]
VAZ_BIND(short, FX_InstToSlot, (short a1, unsigned short a2, std::uint32_t version), kRequired,
         S(a1), U(a2), V(version))  // [required]
VAZ_BIND(short, FX_GetCurERegions,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::uint32_t version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_SetCurERegion, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_RebeamRegion, (std::intptr_t a1, std::intptr_t a2, std::uint32_t version),
         kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(short, FX_RebarRegion,
         (std::intptr_t a1, unsigned short a2, short a3, short a4, short a5, std::uint32_t version),
         kRequired, L(a1), U(a2), S(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_NoteMover,
         (std::intptr_t a1, std::intptr_t a2, short a3, short a4, short a5, std::uint32_t version),
         kRequired, L(a1), L(a2), S(a3), S(a4), S(a5), V(version))  // [required]
VAZ_BIND(short, FX_MassMover, (std::intptr_t a1, std::intptr_t a2, std::uint32_t version), 0, L(a1),
         L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_CopyCutMusic, (std::intptr_t a1, short a2, std::uint32_t version), 0,
         L(a1), S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(unsigned char, FX_InsertMergeMusic,
         (std::intptr_t a1, std::intptr_t a2, unsigned char a3, std::uint32_t version), 0, L(a1),
         L(a2), B(a3),
         V(version))  // [fallback: 0]
VAZ_BIND(unsigned char, FX_DisposeScxClipFileToken, (std::intptr_t a1, std::uint32_t version), 0,
         L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_InsertMeasures, (short a1, short a2, short a3, std::uint32_t version), 0, S(a1),
         S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_DeleteMeasures, (short a1, short a2, short a3, std::uint32_t version), 0, S(a1),
         S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_DeleteMidiExpressions, (short a1, short a2, std::uint32_t version), 0,
         S(a1), S(a2), V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_DeleteTempoRecords, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_AutoRehearsalInsert,
         (short a1, short a2, short a3, std::intptr_t a4, short a5, std::uint32_t version), 0,
         S(a1), S(a2), S(a3), L(a4), S(a5), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetKeySig,
         (short a1, short a2, short a3, std::intptr_t a4, std::uint32_t version), kRequired, S(a1),
         S(a2), S(a3), L(a4), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetMeasureDuration, (short a1, short a2, std::uint32_t version),
         kRequired, S(a1), S(a2), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_GetTGFDuration, (std::intptr_t a1, std::uint32_t version), kRequired,
         L(a1),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_UpdateLayout, (short a1, short a2, std::uint32_t version), kRequired,
         S(a1), S(a2), V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_RedrawMusic, (std::intptr_t a1, std::uint32_t version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_ScrollTo, (short a1, short a2, std::uint32_t version), kRequired, S(a1),
         S(a2),
         V(version))  // [required]

// Edit transactions
VAZ_BIND(short, FX_MassEditProgress,
         (std::intptr_t a1, short a2, short a3, short a4, short a5, std::uint32_t version),
         kRequired, L(a1), S(a2), S(a3), S(a4), S(a5), V(version))  // [required]

// MIDI and playback
VAZ_BIND(std::intptr_t, FX_Playback,
         (short a1, short a2, short a3, unsigned short a4, std::uint32_t version), kRequired, S(a1),
         S(a2), S(a3), U(a4), V(version))  // [required]
VAZ_BIND(short, FX_ListenToMidi, (std::intptr_t a1, std::intptr_t a2, std::uint32_t version),
         kRequired, L(a1), L(a2),
         V(version))  // [required]
VAZ_BIND(short, FX_CopyMidi,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::uint32_t version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_PasteMidi,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::uint32_t version), kRequired,
         L(a1), L(a2), L(a3), V(version))  // [required]
VAZ_BIND(short, FX_NoteToMidi, (std::intptr_t a1, short a2, std::uint32_t version), kRequired,
         L(a1), S(a2),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_MidiNoteToString,
         (short a1, std::intptr_t a2, short a3, short a4, std::uint32_t version), kRequired, S(a1),
         L(a2), S(a3), S(a4), V(version))  // [required]
VAZ_BIND(short, FX_StringToMidiNote, (std::intptr_t a1, std::uint32_t version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_ProcessMidiData, (std::intptr_t a1, std::uint32_t version), -1, L(a1),
         V(version))                                                            // [fallback: -1]
VAZ_BIND(short, FX_GetPlaybackSystem, (std::uint32_t version), -1, V(version))  // [fallback: -1]
VAZ_BIND(short, FX_QueryK2Slot,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4, std::intptr_t a5,
          std::intptr_t a6, std::uint32_t version),
         0, L(a1), L(a2), L(a3), L(a4), L(a5), L(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_QueryAriaSlot,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4, std::intptr_t a5,
          std::intptr_t a6, std::intptr_t a7, std::intptr_t a8, std::intptr_t a9, std::intptr_t a10,
          std::intptr_t a11, std::intptr_t a12, std::intptr_t a13, std::intptr_t a14,
          std::intptr_t a15, std::intptr_t a16, std::intptr_t a17, std::intptr_t a18,
          std::intptr_t a19, std::uint32_t version),
         0, L(a1), L(a2), L(a3), L(a4), L(a5), L(a6), L(a7), L(a8), L(a9), L(a10), L(a11), L(a12),
         L(a13), L(a14), L(a15), L(a16), L(a17), L(a18), L(a19), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetPercMapRefData,
         (unsigned short a1, std::intptr_t a2, std::intptr_t a3, short a4, std::uint32_t version),
         0, U(a1), L(a2), L(a3), S(a4), V(version))  // [fallback: 0]
VAZ_BIND(unsigned short, FX_CreatePercMapRefData,
         (std::intptr_t a1, std::intptr_t a2, std::uint32_t version), 0, L(a1), L(a2),
         V(version))  // [fallback: 0]

// Fonts and text
VAZ_BIND(short, FX_FontNameToNum, (std::intptr_t a1, std::uint32_t version), kRequired, L(a1),
         V(version))  // [required]
VAZ_BIND(short, FX_FontNumToName, (short a1, std::intptr_t a2, std::uint32_t version), kRequired,
         S(a1), L(a2), V(version))  // [required]
VAZ_BIND(unsigned char, FX_SetDefaultMusicFont,
         (short a1, short a2, unsigned short a3, std::uint32_t version), 0, S(a1), S(a2), U(a3),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_GetTextEncoding, (std::uint32_t version), -2,
         V(version))  // [fallback: -2]
VAZ_BIND(std::intptr_t, FX_GetSyllable,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]
VAZ_BIND(short, FX_SyllableInfo,
         (std::intptr_t a1, short a2, short a3, std::intptr_t a4, short a5, std::intptr_t a6,
          std::intptr_t a7, std::intptr_t a8, std::intptr_t a9, std::uint32_t version),
         kRequired, L(a1), S(a2), S(a3), L(a4), S(a5), L(a6), L(a7), L(a8), L(a9),
         V(version))  // [required]
VAZ_BIND(std::intptr_t, FX_ParseCaretCommand,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         kRequired, L(a1), L(a2), L(a3), L(a4), V(version))  // [required]

// Documents, paths and windows
VAZ_BIND(short, FX_GetCurrentNoduraDocument, (std::uint32_t version), 0,
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SetCurrentNoduraDocument, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetNextNoduraDocument, (short a1, std::uint32_t version), 0, S(a1),
         V(version))                                                           // [fallback: 0]
VAZ_BIND(short, FX_NewNoduraDocument, (std::uint32_t version), 0, V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CloseNoduraDocument, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_IsNoduraDocumentDirty, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_SetNoduraDocumentDirty, (short a1, short a2, std::uint32_t version), 0,
         S(a1), S(a2), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_OpenDocument,
         (std::intptr_t a1, short a2, short a3, short a4, short a5, short a6,
          std::uint32_t version),
         0, L(a1), S(a2), S(a3), S(a4), S(a5), S(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SaveDocument, (std::intptr_t a1, short a2, short a3, std::uint32_t version), 0,
         L(a1), S(a2), S(a3), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CloseCurrentDocumentWindow, (std::uint32_t version), 0,
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetDocumentPath, (short a1, std::intptr_t a2, std::uint32_t version), 0, S(a1),
         L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetScorixPath, (std::intptr_t a1, std::intptr_t a2, std::uint32_t version), 0,
         L(a1), L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetGraphicPath,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, std::intptr_t a4,
          std::uint32_t version),
         0, L(a1), L(a2), L(a3), L(a4), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_CreateGraphic,
         (std::intptr_t a1, short a2, std::intptr_t a3, std::intptr_t a4, std::intptr_t a5,
          std::intptr_t a6, std::uint32_t version),
         0, L(a1), S(a2), L(a3), L(a4), L(a5), L(a6), V(version))           // [fallback: 0]
VAZ_BIND(short, FX_GetWindowCount, (std::uint32_t version), 0, V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetWindowInfoList, (std::intptr_t a1, short a2, std::uint32_t version), 0, L(a1),
         S(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetCurrentWindowInfo, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_GetCurrentWindow, (std::uint32_t version), 0,
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_SetCurrentWindow, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]

// Printing
VAZ_BIND(std::intptr_t, FX_GetPrintSettings, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_PrintCurrentDocument, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_PrintDocument, (short a1, std::intptr_t a2, std::uint32_t version), 0, S(a1),
         L(a2),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_PrintDocuments,
         (std::intptr_t a1, short a2, std::intptr_t a3, std::uint32_t version), 0, L(a1), S(a2),
         L(a3), V(version))  // [fallback: 0]

// Linked parts
VAZ_BIND(short, FX_GetCurrentPartID, (std::uint32_t version), -1, V(version))  // [fallback: -1]
VAZ_BIND(std::intptr_t, FX_SetCurrentPartID, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_SetCurrentPartInView, (short a1, std::uint32_t version), 0, S(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetNextPartID, (short a1, std::uint32_t version), -1, S(a1),
         V(version))                                                             // [fallback: -1]
VAZ_BIND(std::intptr_t, FX_CountParts, (std::uint32_t version), -1, V(version))  // [fallback: -1]
VAZ_BIND(std::intptr_t, FX_GetKvtParts, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]

// Layout metrics
VAZ_BIND(short, FX_GetEntryMetrics,
         (short a1, short a2, std::intptr_t a3, std::intptr_t a4, std::intptr_t a5, short a6,
          std::uint32_t version),
         kRequired, S(a1), S(a2), L(a3), L(a4), L(a5), S(a6), V(version))  // [required]
VAZ_BIND(short, FX_GetEntryMetrics2009a,
         (short a1, short a2, std::intptr_t a3, std::intptr_t a4, std::intptr_t a5, short a6,
          std::uint32_t version),
         0, S(a1), S(a2), L(a3), L(a4), L(a5), S(a6), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetTGFEntryMetrics2009a,
         (std::intptr_t a1, std::intptr_t a2, std::intptr_t a3, short a4, std::uint32_t version), 0,
         L(a1), L(a2), L(a3), S(a4), V(version))  // [fallback: 0]
VAZ_BIND(short, FX_GetMeasureMetrics,
         (short a1, short a2, std::intptr_t a3, short a4, std::uint32_t version), 0, S(a1), S(a2),
         L(a3), S(a4), V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_FreeEntryMetrics, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]
VAZ_BIND(std::intptr_t, FX_FreeMeasureMetrics, (std::intptr_t a1, std::uint32_t version), 0, L(a1),
         V(version))  // [fallback: 0]

// ---- Functions with bookkeeping or compatibility logic of their own ----

namespace {
// Hosts up to this version lack a working FX_ShowHideDlgItem; the binding does it through Win32.
constexpr std::uint32_t kLastVersionWithoutShowHide = 0x0B01FFFF;
// Hosts reject chord analysis requests that carry a version word this old.
constexpr std::uint32_t kLastVersionBeforeChordAnalysis = 0x0AFFFFFF;
constexpr std::uint32_t kChordAnalysisVersion = 0x0B000000;
const char kNoPartName[] = " ";
}  // namespace

std::intptr_t WINAPI FX_ShowHideDlgItem(std::intptr_t a1, std::intptr_t a2, short a3,
                                        std::uint32_t version) {  // [Win32]
  VAZ_HOST_SLOT(FX_ShowHideDlgItem);
  vaz::binding::GenericProc address = slot.Resolve();
  if (version > kLastVersionWithoutShowHide && address) {
    return vaz::binding::Forward<std::intptr_t>(address, kRequired, L(a1), L(a2), S(a3),
                                                V(version));
  }
  HWND item = GetDlgItem(reinterpret_cast<HWND>(a1), static_cast<int>(a2));
  return ShowWindow(item, a3 != 0 ? SW_SHOWNORMAL : SW_HIDE);
}

std::intptr_t WINAPI FX_SetDlgItemUser(std::intptr_t a1, std::intptr_t a2, short a3, double a4,
                                       std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_SetDlgItemUser);
  const vaz::binding::DoubleWords d = vaz::binding::D(a4);
  return vaz::binding::Forward<std::intptr_t>(slot.Resolve(), kRequired, L(a1), L(a2), S(a3), d.low,
                                              d.high, V(version));
}

std::intptr_t WINAPI FX_SelectNote(EXENTRY* entry, short a2, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_SelectNote);
  return vaz::binding::Forward<std::intptr_t>(slot.Resolve(), kRequired, P(entry), S(a2),
                                              V(version));
}

short WINAPI FX_GetTGFEntryMetrics(EXTGF2005a* frame, EEntryMetrics* entry_metrics,
                                   EMeasureMetrics* measure_metrics, short a4,
                                   std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_GetTGFEntryMetrics);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), P(entry_metrics),
                                      P(measure_metrics), S(a4), V(version));
}

short WINAPI FX_AnalyzeChord(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3,
                             std::uint32_t version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_AnalyzeChord);
  if (version <= kLastVersionBeforeChordAnalysis) version = kChordAnalysisVersion;
  return vaz::binding::Forward<short>(slot.Resolve(), 0, L(a1), L(a2), L(a3), V(version));
}

std::intptr_t WINAPI FX_StartScorixEdit(std::intptr_t a1, std::uint32_t version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_StartScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  ++ScorixEditDepth;
  return vaz::binding::Forward<std::intptr_t>(address, 0, L(a1), V(version));
}

short WINAPI FX_EndScorixEdit(std::uint32_t version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_EndScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  if (ScorixEditDepth <= 0) return 1;  // nothing open: nothing for the host to end
  --ScorixEditDepth;
  return vaz::binding::Forward<short>(address, 0, V(version));
}

std::intptr_t WINAPI FX_CancelScorixEdit(std::uint32_t version) {  // [fallback: 0]
  VAZ_HOST_SLOT(FX_CancelScorixEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  if (ScorixEditDepth <= 0) return 0;  // nothing open: nothing to cancel
  --ScorixEditDepth;
  return vaz::binding::Forward<std::intptr_t>(address, 0, V(version));
}

std::intptr_t WINAPI FX_StartMassEdit(std::intptr_t a1, std::intptr_t a2,
                                      std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_StartMassEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  ++MassEditDepth;
  return vaz::binding::Forward<std::intptr_t>(address, kRequired, L(a1), L(a2), V(version));
}

std::intptr_t WINAPI FX_EndMassEdit(std::intptr_t a1, short a2,
                                    std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_EndMassEdit);
  vaz::binding::GenericProc address = slot.Resolve();
  --MassEditDepth;
  return vaz::binding::Forward<std::intptr_t>(address, kRequired, L(a1), S(a2), V(version));
}

const char* WINAPI FX_GetPartName(short a1, std::uint32_t version) {  // [fallback: " "]
  VAZ_HOST_SLOT(FX_GetPartName);
  vaz::binding::GenericProc address = slot.Resolve();
  if (!address) return kNoPartName;
  return reinterpret_cast<const char*>(
      vaz::binding::Forward<std::intptr_t>(address, kRequired, S(a1), V(version)));
}
