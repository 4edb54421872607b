// Works a modal property sheet (the toolbar's options) from inside its own
// message loop: when a sheet is activated on this thread, a thread timer
// runs the script against its pages by window messages, then presses OK or
// Cancel (Cancel when the script says neither), so nothing waits for a
// person.
//
// Script steps, one text each:
//   page=N            select the sheet's page N
//   check=ID:0|1      set a check box and tell the page it was clicked
//   click=ID          a push button's click
//   select=ID:N       pick entry N of a combo box or list box
//   text=ID:TEXT      set an edit's text (EN_CHANGE follows)
//   type=ID:N:C       type character C N times (the edit's limit applies)
//   lvcheck=ID:ROW:0|1  tick or untick a list view line
//   lvselect=ID:ROW   select a list view line
//   track=ID:POS      move a trackbar (WM_HSCROLL follows)
//   snapshot=FILE     a picture of the sheet
//   mark=FILE         create FILE (tells another process the sheet is open)
//   hold=MS           keep the sheet open, its messages running
//   ok | cancel
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qv::testhost {

class SheetDriver {
 public:
  // True when window is a property sheet this driver takes over.
  static bool IsSheet(HWND window);
  // Starts the script on the sheet.
  void Begin(HWND sheet);

  std::vector<std::string> script;
  // What the steps did (and any step that could not be done).
  std::vector<std::string> log;
  int sheetsShown = 0;
  std::wstring lastCaption;
  // The tab the sheet started on.
  std::wstring pageCaption;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD);
  void Run();
  bool RunStep(const std::string& step);

  HWND sheet_ = nullptr;
};

}  // namespace qv::testhost
