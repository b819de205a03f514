// The host's FX_ functions as the plug-in calls them: one binding function per host export, with
// the export's own name, argument order and widths (S short, U unsigned short, B unsigned char,
// L long, D double, V the version word) and result width. Each looks its export up by name on first
// use; see vaz/binding.h for the rules and the tags [required] and [fallback: value].
#pragma once

#include "platform/win32.h"
#include "vaz/records.h"

// The host executable's module: "SCORIX.EXE", else "VAVAVER.EXE"; looked up once, kept even when
// neither is found (then every export is missing).
HMODULE GetScorixHandle();

// Records the version of the running host, as it reported it to the plug-in.
void SetScorixFrameworkVersion(unsigned long version);

// The running host's version; 0x0F000200 until the host reports one. Record classes read it to
// choose between record layouts; the binding functions do not.
extern unsigned long RunningScorixVersion;

// Open edit transactions (FX_StartScorixEdit not yet ended or cancelled), open mass edits, and
// frames loaded but not yet freed. Kept only; ScorixEditDepth bounds FX_End/FX_CancelScorixEdit.
extern long ScorixEditDepth;
extern long MassEditDepth;
extern long LoadedTGFCounter;

// Data records. A non-zero result means success.
short WINAPI FX_LoadEData(unsigned long tag, EDataID* id, void* buffer, long* size,
                          unsigned long version);
short WINAPI FX_SaveEData(unsigned long tag, EDataID* id, void* buffer, long size,
                          unsigned long version);
short WINAPI FX_CreateEData(unsigned long tag, EDataID* id, void* buffer, long size,
                            unsigned long version);
short WINAPI FX_DeleteEData(unsigned long tag, EDataID* id, unsigned long version);
short WINAPI FX_PreviousEData(unsigned long tag, EDataID* id, void* buffer, long size,
                              unsigned long version);
short WINAPI FX_NextEData(unsigned long tag, EDataID* id, void* buffer, long size,
                          unsigned long version);

// Frames of one staff, measure and layer.
EXTGF2005a* WINAPI FX_LoadTGF(unsigned short a1, short staff, short measure, short layer, short a5,
                              unsigned long version);
short WINAPI FX_SaveTGF(EXTGF2005a* frame, unsigned long version);
short WINAPI FX_InsertEXENTRY(EXTGF2005a* frame, short a2, short a3, unsigned long version);
short WINAPI FX_DeleteEXENTRY(EXTGF2005a* frame, short a2, short a3, unsigned long version);
long WINAPI FX_ReduceEntries(EXTGF2005a* frame, unsigned long version);
long WINAPI FX_FreeTGF(EXTGF2005a* frame, unsigned long version);

// Dialogs, alerts and the user interface
long WINAPI FX_Dialog(short a1, long a2, long a3, short a4, long a5, unsigned long version);
long WINAPI FX_EndDialog(long a1, unsigned long version);
long WINAPI FX_EnableDlgItem(long a1, long a2, short a3, unsigned long version);
long WINAPI FX_ShowHideDlgItem(long a1, long a2, short a3, unsigned long version);
long WINAPI FX_SetDlgFocus(long a1, long a2, unsigned long version);
long WINAPI FX_GetDlgCntlVal(long a1, long a2, long a3, short a4, unsigned long version);
long WINAPI FX_SetDlgCntlVal(long a1, long a2, long a3, long a4, unsigned long version);
long WINAPI FX_GetDlgItemVal(long a1, long a2, short a3, unsigned long version);
long WINAPI FX_SetDlgItemVal(long a1, long a2, short a3, long a4, unsigned long version);
long WINAPI FX_GetDlgString(long a1, long a2, long a3, short a4, unsigned long version);
long WINAPI FX_SetDlgString(long a1, long a2, long a3, unsigned long version);
long WINAPI FX_GetDlgItemUser(long a1, long a2, short a3, long a4, unsigned long version);
long WINAPI FX_SetDlgItemUser(long a1, long a2, short a3, double a4, unsigned long version);
short WINAPI FX_AlertMessage(long a1, unsigned short a2, long a3, long a4, unsigned long version);
short WINAPI FX_FontDialog(long a1, long a2, long a3, short a4, short a5, unsigned long version);
short WINAPI FX_SymbolDialog(long a1, long a2, long a3, unsigned long version);
short WINAPI FX_SelectionDialog(long a1, short a2, long a3, long a4, unsigned long version);
short WINAPI FX_SelectExpressionDialog(long a1, long a2, long a3, long a4, unsigned long version);
long WINAPI FX_SetTimer(long a1, short a2, long a3, unsigned long version);
long WINAPI FX_KillTimer(long a1, short a2, unsigned long version);
short WINAPI FX_EnableBusyDetection(short a1, unsigned long version);
long WINAPI FX_RebuildMenuSystem(unsigned short a1, unsigned long version);
short WINAPI FX_ExecuteMenuItem(long a1, unsigned long version);
long WINAPI FX_OpenHelpItem(long a1, unsigned long version);

// Music editing, regions and layout
short WINAPI FX_GetMaxLayers(unsigned long version);
short WINAPI FX_GetShowLayer(short a1, unsigned long version);
short WINAPI FX_SlotToInst(short a1, unsigned short a2, unsigned long version);
short WINAPI FX_InstToSlot(short a1, unsigned short a2, unsigned long version);
short WINAPI FX_GetCurERegions(long a1, long a2, long a3, unsigned long version);
long WINAPI FX_SetCurERegion(long a1, unsigned long version);
short WINAPI FX_RebeamRegion(long a1, long a2, unsigned long version);
short WINAPI FX_RebarRegion(long a1, unsigned short a2, short a3, short a4, short a5,
                            unsigned long version);
long WINAPI FX_NoteMover(long a1, long a2, short a3, short a4, short a5, unsigned long version);
short WINAPI FX_MassMover(long a1, long a2, unsigned long version);
long WINAPI FX_SelectNote(EXENTRY* entry, short a2, unsigned long version);
long WINAPI FX_CopyCutMusic(long a1, short a2, unsigned long version);
unsigned char WINAPI FX_InsertMergeMusic(long a1, long a2, unsigned char a3, unsigned long version);
unsigned char WINAPI FX_DisposeScxClipFileToken(long a1, unsigned long version);
short WINAPI FX_InsertMeasures(short a1, short a2, short a3, unsigned long version);
short WINAPI FX_DeleteMeasures(short a1, short a2, short a3, unsigned long version);
long WINAPI FX_DeleteMidiExpressions(short a1, short a2, unsigned long version);
long WINAPI FX_DeleteTempoRecords(short a1, unsigned long version);
short WINAPI FX_AutoRehearsalInsert(short a1, short a2, short a3, long a4, short a5,
                                    unsigned long version);
short WINAPI FX_AnalyzeChord(long a1, long a2, long a3, unsigned long version);
short WINAPI FX_GetKeySig(short a1, short a2, short a3, long a4, unsigned long version);
long WINAPI FX_GetMeasureDuration(short a1, short a2, unsigned long version);
long WINAPI FX_GetTGFDuration(long a1, unsigned long version);
long WINAPI FX_UpdateLayout(short a1, short a2, unsigned long version);
long WINAPI FX_RedrawMusic(long a1, unsigned long version);
long WINAPI FX_ScrollTo(short a1, short a2, unsigned long version);

// Edit transactions
long WINAPI FX_StartScorixEdit(long a1, unsigned long version);
short WINAPI FX_EndScorixEdit(unsigned long version);
long WINAPI FX_CancelScorixEdit(unsigned long version);
long WINAPI FX_StartMassEdit(long a1, long a2, unsigned long version);
long WINAPI FX_EndMassEdit(long a1, short a2, unsigned long version);
short WINAPI FX_MassEditProgress(long a1, short a2, short a3, short a4, short a5,
                                 unsigned long version);

// MIDI and playback
long WINAPI FX_Playback(short a1, short a2, short a3, unsigned short a4, unsigned long version);
short WINAPI FX_ListenToMidi(long a1, long a2, unsigned long version);
short WINAPI FX_CopyMidi(long a1, long a2, long a3, unsigned long version);
short WINAPI FX_PasteMidi(long a1, long a2, long a3, unsigned long version);
short WINAPI FX_NoteToMidi(long a1, short a2, unsigned long version);
long WINAPI FX_MidiNoteToString(short a1, long a2, short a3, short a4, unsigned long version);
short WINAPI FX_StringToMidiNote(long a1, unsigned long version);
long WINAPI FX_ProcessMidiData(long a1, unsigned long version);
short WINAPI FX_GetPlaybackSystem(unsigned long version);
short WINAPI FX_QueryK2Slot(long a1, long a2, long a3, long a4, long a5, long a6,
                            unsigned long version);
short WINAPI FX_QueryAriaSlot(long a1, long a2, long a3, long a4, long a5, long a6, long a7,
                              long a8, long a9, long a10, long a11, long a12, long a13, long a14,
                              long a15, long a16, long a17, long a18, long a19,
                              unsigned long version);
short WINAPI FX_GetPercMapRefData(unsigned short a1, long a2, long a3, short a4,
                                  unsigned long version);
unsigned short WINAPI FX_CreatePercMapRefData(long a1, long a2, unsigned long version);

// Fonts and text
short WINAPI FX_FontNameToNum(long a1, unsigned long version);
short WINAPI FX_FontNumToName(short a1, long a2, unsigned long version);
unsigned char WINAPI FX_SetDefaultMusicFont(short a1, short a2, unsigned short a3,
                                            unsigned long version);
long WINAPI FX_GetTextEncoding(unsigned long version);
long WINAPI FX_GetSyllable(long a1, long a2, long a3, long a4, unsigned long version);
short WINAPI FX_SyllableInfo(long a1, short a2, short a3, long a4, short a5, long a6, long a7,
                             long a8, long a9, unsigned long version);
long WINAPI FX_ParseCaretCommand(long a1, long a2, long a3, long a4, unsigned long version);

// Documents, paths and windows
short WINAPI FX_GetCurrentNoduraDocument(unsigned long version);
short WINAPI FX_SetCurrentNoduraDocument(short a1, unsigned long version);
short WINAPI FX_GetNextNoduraDocument(short a1, unsigned long version);
short WINAPI FX_NewNoduraDocument(unsigned long version);
short WINAPI FX_CloseNoduraDocument(short a1, unsigned long version);
short WINAPI FX_IsNoduraDocumentDirty(short a1, unsigned long version);
long WINAPI FX_SetNoduraDocumentDirty(short a1, short a2, unsigned long version);
short WINAPI FX_OpenDocument(long a1, short a2, short a3, short a4, short a5, short a6,
                             unsigned long version);
short WINAPI FX_SaveDocument(long a1, short a2, short a3, unsigned long version);
short WINAPI FX_CloseCurrentDocumentWindow(unsigned long version);
short WINAPI FX_GetDocumentPath(short a1, long a2, unsigned long version);
short WINAPI FX_GetScorixPath(long a1, long a2, unsigned long version);
short WINAPI FX_GetGraphicPath(long a1, long a2, long a3, long a4, unsigned long version);
short WINAPI FX_CreateGraphic(long a1, short a2, long a3, long a4, long a5, long a6,
                              unsigned long version);
short WINAPI FX_GetWindowCount(unsigned long version);
short WINAPI FX_GetWindowInfoList(long a1, short a2, unsigned long version);
short WINAPI FX_GetCurrentWindowInfo(long a1, unsigned long version);
long WINAPI FX_GetCurrentWindow(unsigned long version);
short WINAPI FX_SetCurrentWindow(long a1, unsigned long version);

// Printing
long WINAPI FX_GetPrintSettings(long a1, unsigned long version);
short WINAPI FX_PrintCurrentDocument(long a1, unsigned long version);
short WINAPI FX_PrintDocument(short a1, long a2, unsigned long version);
long WINAPI FX_PrintDocuments(long a1, short a2, long a3, unsigned long version);

// Linked parts
short WINAPI FX_GetCurrentPartID(unsigned long version);
long WINAPI FX_SetCurrentPartID(short a1, unsigned long version);
long WINAPI FX_SetCurrentPartInView(short a1, unsigned long version);
short WINAPI FX_GetNextPartID(short a1, unsigned long version);
const char* WINAPI FX_GetPartName(short a1, unsigned long version);
long WINAPI FX_CountParts(unsigned long version);
long WINAPI FX_GetKvtParts(long a1, unsigned long version);

// Layout metrics
short WINAPI FX_GetEntryMetrics(short a1, short a2, long a3, long a4, long a5, short a6,
                                unsigned long version);
short WINAPI FX_GetTGFEntryMetrics(EXTGF2005a* frame, EEntryMetrics* entry_metrics,
                                   EMeasureMetrics* measure_metrics, short a4,
                                   unsigned long version);
short WINAPI FX_GetEntryMetrics2009a(short a1, short a2, long a3, long a4, long a5, short a6,
                                     unsigned long version);
short WINAPI FX_GetTGFEntryMetrics2009a(long a1, long a2, long a3, short a4, unsigned long version);
short WINAPI FX_GetMeasureMetrics(short a1, short a2, long a3, short a4, unsigned long version);
long WINAPI FX_FreeEntryMetrics(long a1, unsigned long version);
long WINAPI FX_FreeMeasureMetrics(long a1, unsigned long version);
