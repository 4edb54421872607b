#include "options/win32/options_dialogs.h"

#include <commctrl.h>

#include <string>

#include "options/win32/options_ids.h"
#include "tbdl/settings_section.h"

namespace qv::options {
namespace {

// What the three page procedures share for one run of the sheet.
struct SheetRun {
  OptionsSheet* sheet = nullptr;
  HWND toolbar = nullptr;
  bool ok = false;
};

// Per page: the run and a busy flag that keeps the change handlers quiet
// while the page fills its own controls.
struct PageState {
  SheetRun* run = nullptr;
  bool busy = false;
  int line = -1;  // the selected line (items page) or account (POP3 page)
};

std::string TextOf(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool Checked(HWND page, int id) {
  return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Check(HWND page, int id, bool on) {
  CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void Show(HWND page, int id, bool show) {
  ShowWindow(GetDlgItem(page, id), show ? SW_SHOW : SW_HIDE);
}

void Enable(HWND page, int id, bool on) {
  EnableWindow(GetDlgItem(page, id), on);
}

LRESULT Send(HWND page, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(page, id, message, wParam, lParam);
}

void Limit(HWND page, int id, size_t chars) {
  Send(page, id, EM_SETLIMITTEXT, chars);
}

PageState* StateOf(HWND page) {
  return reinterpret_cast<PageState*>(GetWindowLongPtrA(page, DWLP_USER));
}

// WM_INITDIALOG of a property page: lParam is its PROPSHEETPAGE.
PageState* Attach(HWND page, LPARAM lParam) {
  auto* state = reinterpret_cast<PageState*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  return state;
}

// PSN_APPLY: the sheet ends with OK.
bool OnApply(HWND page, LPARAM lParam, PageState* state) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header->code != PSN_APPLY || state == nullptr) return false;
  state->run->ok = true;
  SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
  return true;
}

// --- pop-up blocker page

INT_PTR CALLBACK PopupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = StateOf(page);
  switch (message) {
    case WM_INITDIALOG: {
      state = Attach(page, lParam);
      PopupPage& popup = *state->run->sheet->popup;
      for (const char* entry : kReleaseKeyEntries)
        Send(page, IDC_RELEASE_KEY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
      Send(page, IDC_RELEASE_KEY, CB_SETCURSEL, popup.KeyIndex());
      SetDlgItemTextA(page, IDC_BLOCKED_COUNT,
                      PopupPage::CountText(*state->run->sheet->blocker).c_str());
      const BlockerSettings& v = popup.Values();
      Check(page, IDC_BLOCK_POPUPS, v.enablePopupBlocker);
      Check(page, IDC_BLOCK_FLASH, v.blockFlashMovies);
      Check(page, IDC_BLOCK_RESIZE, v.blockResize);
      Check(page, IDC_STATUS_TEXT, v.showPopupPageStatus);
      Check(page, IDC_BEEP, v.beepOnPopup);
      return TRUE;
    }
    case WM_COMMAND: {
      if (!state) break;
      PopupPage& popup = *state->run->sheet->popup;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDC_RELEASE_KEY && code == CBN_SELCHANGE) {
        popup.SelectKey(static_cast<int>(Send(page, IDC_RELEASE_KEY, CB_GETCURSEL)));
      } else if (code == BN_CLICKED) {
        const bool on = Checked(page, id);
        switch (id) {
          case IDC_BLOCK_POPUPS:
            popup.SetBlock(on);
            break;
          case IDC_BLOCK_FLASH:
            popup.SetFlash(on);
            break;
          case IDC_BLOCK_RESIZE:
            popup.SetResize(on);
            break;
          case IDC_STATUS_TEXT:
            popup.SetStatusText(on);
            break;
          case IDC_BEEP:
            popup.SetBeep(on);
            break;
          case IDC_RESET_COUNT:
            PopupPage::ResetCount(*state->run->sheet->blocker);
            SetDlgItemTextA(page, IDC_BLOCKED_COUNT, "0");
            break;
          default:
            break;
        }
      }
      return TRUE;
    }
    case WM_NOTIFY:
      if (OnApply(page, lParam, state)) return TRUE;
      break;
    default:
      break;
  }
  return FALSE;
}

// --- POP3 accounts page

void AddTooltip(HWND tooltips, HWND page, int id, const char* text) {
  TOOLINFOA tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = page;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(page, id));
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void FillAccountFields(HWND page, PageState& state) {
  Pop3Page& pop3 = *state.run->sheet->pop3;
  const int selected = static_cast<int>(Send(page, IDC_ACCOUNT_LIST, LB_GETCURSEL));
  state.line = selected >= 0 && static_cast<size_t>(selected) < pop3.Count() ? selected : -1;
  state.busy = true;
  const int edits[] = {IDC_SERVER, IDC_ACCOUNT_NAME, IDC_PASSWORD, IDC_INTERVAL, IDC_WEB_FRONT};
  const int all[] = {IDC_SERVER,        IDC_ACCOUNT_NAME,  IDC_PASSWORD,      IDC_INTERVAL,
                     IDC_WEB_FRONT,     IDC_USE_SPA,       IDC_AUTO_CHECK,    IDC_EVERY_LABEL,
                     IDC_INTERVAL_SPIN, IDC_MINUTES_LABEL, IDC_HAS_WEB_FRONT, IDC_URL_LABEL};
  if (state.line < 0) {
    for (int id : all) Enable(page, id, false);
    for (int id : edits) SetDlgItemTextA(page, id, "");
    Check(page, IDC_USE_SPA, false);
    Check(page, IDC_AUTO_CHECK, false);
    Check(page, IDC_HAS_WEB_FRONT, false);
    state.busy = false;
    return;
  }
  for (int id : all) Enable(page, id, true);
  const AccountEntry& entry = pop3.Entry(static_cast<size_t>(state.line));
  SetDlgItemTextA(page, IDC_SERVER, entry.server.c_str());
  SetDlgItemTextA(page, IDC_ACCOUNT_NAME, entry.account.c_str());
  SetDlgItemTextA(page, IDC_PASSWORD, entry.password.c_str());
  SetDlgItemTextA(page, IDC_INTERVAL, entry.interval.c_str());
  SetDlgItemTextA(page, IDC_WEB_FRONT, entry.webFront.c_str());
  Check(page, IDC_USE_SPA, entry.useSpa == "1");
  const bool autoCheck = Pop3Page::AutoCheckShown(entry);
  Check(page, IDC_AUTO_CHECK, autoCheck);
  for (int id : {IDC_INTERVAL, IDC_INTERVAL_SPIN, IDC_EVERY_LABEL, IDC_MINUTES_LABEL})
    Enable(page, id, autoCheck);
  const bool web = Pop3Page::WebFrontShown(entry);
  Check(page, IDC_HAS_WEB_FRONT, web);
  Enable(page, IDC_WEB_FRONT, web);
  Enable(page, IDC_URL_LABEL, web);
  state.busy = false;
}

void SelectAccount(HWND page, PageState& state, int line) {
  Send(page, IDC_ACCOUNT_LIST, LB_SETCURSEL, static_cast<WPARAM>(line));
  FillAccountFields(page, state);
}

void RewriteAccountLine(HWND page, PageState& state) {
  const int line = state.line;
  const std::string text = state.run->sheet->pop3->ListLine(static_cast<size_t>(line));
  Send(page, IDC_ACCOUNT_LIST, LB_INSERTSTRING, static_cast<WPARAM>(line),
       reinterpret_cast<LPARAM>(text.c_str()));
  Send(page, IDC_ACCOUNT_LIST, LB_DELETESTRING, static_cast<WPARAM>(line + 1));
  Send(page, IDC_ACCOUNT_LIST, LB_SETCURSEL, static_cast<WPARAM>(line));
}

INT_PTR CALLBACK Pop3PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = StateOf(page);
  switch (message) {
    case WM_INITDIALOG: {
      state = Attach(page, lParam);
      Pop3Page& pop3 = *state->run->sheet->pop3;
      for (int id : {IDC_SERVER, IDC_ACCOUNT_NAME, IDC_PASSWORD})
        Limit(page, id, kAccountTextLimit);
      Limit(page, IDC_INTERVAL, kIntervalTextLimit);
      Limit(page, IDC_WEB_FRONT, kWebFrontTextLimit);
      Send(page, IDC_INTERVAL_SPIN, UDM_SETRANGE32, kMinInterval, kMaxInterval);
      HWND tooltips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0,
                                      0, 0, page, nullptr, nullptr, nullptr);
      if (tooltips) {
        AddTooltip(tooltips, page, IDC_ACCOUNT_ADD, "Add POP3 Account");
        AddTooltip(tooltips, page, IDC_ACCOUNT_REMOVE, "Delete selected account");
        AddTooltip(tooltips, page, IDC_ACCOUNT_LIST, "List configured POP3 accounts");
      }
      for (size_t i = 0; i < pop3.Count(); ++i)
        Send(page, IDC_ACCOUNT_LIST, LB_ADDSTRING, 0,
             reinterpret_cast<LPARAM>(pop3.ListLine(i).c_str()));
      SelectAccount(page, *state, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      if (!state) break;
      Pop3Page& pop3 = *state->run->sheet->pop3;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDC_ACCOUNT_LIST && code == LBN_SELCHANGE) {
        FillAccountFields(page, *state);
      } else if (code == EN_CHANGE) {
        if (state->busy || state->line < 0) return TRUE;
        AccountField field;
        switch (id) {
          case IDC_SERVER:
            field = AccountField::kServer;
            break;
          case IDC_ACCOUNT_NAME:
            field = AccountField::kAccount;
            break;
          case IDC_PASSWORD:
            field = AccountField::kPassword;
            break;
          case IDC_INTERVAL:
            field = AccountField::kInterval;
            break;
          case IDC_WEB_FRONT:
            field = AccountField::kWebFront;
            break;
          default:
            return TRUE;
        }
        if (pop3.SetField(static_cast<size_t>(state->line), field, TextOf(GetDlgItem(page, id))))
          RewriteAccountLine(page, *state);
      } else if (code == BN_CLICKED) {
        const size_t line = static_cast<size_t>(state->line);
        switch (id) {
          case IDC_ACCOUNT_ADD: {
            const size_t added = pop3.Add();
            Send(page, IDC_ACCOUNT_LIST, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(pop3.ListLine(added).c_str()));
            SelectAccount(page, *state, static_cast<int>(added));
            break;
          }
          case IDC_ACCOUNT_REMOVE: {
            const int selected = static_cast<int>(Send(page, IDC_ACCOUNT_LIST, LB_GETCURSEL));
            if (selected < 0) break;
            if (MessageBoxA(page, "Are you sure you want to delete selected POP3 account?",
                            "Menu editor", MB_YESNO | MB_ICONQUESTION) != IDYES)
              break;
            const int next = pop3.Remove(static_cast<size_t>(selected));
            Send(page, IDC_ACCOUNT_LIST, LB_DELETESTRING, static_cast<WPARAM>(selected));
            SelectAccount(page, *state, next);
            break;
          }
          case IDC_USE_SPA:
            if (state->line >= 0) pop3.SetUseSpa(line, Checked(page, IDC_USE_SPA));
            break;
          case IDC_AUTO_CHECK:
            if (state->line < 0) break;
            pop3.SetAutoCheck(line, Checked(page, IDC_AUTO_CHECK));
            FillAccountFields(page, *state);
            break;
          case IDC_HAS_WEB_FRONT: {
            if (state->line < 0) break;
            const bool on = Checked(page, IDC_HAS_WEB_FRONT);
            pop3.SetWebFront(line, on);
            state->busy = true;
            SetDlgItemTextA(page, IDC_WEB_FRONT, pop3.Entry(line).webFront.c_str());
            state->busy = false;
            Enable(page, IDC_WEB_FRONT, on);
            Enable(page, IDC_URL_LABEL, on);
            break;
          }
          default:
            break;
        }
      }
      return TRUE;
    }
    case WM_NOTIFY:
      if (OnApply(page, lParam, state)) return TRUE;
      break;
    default:
      break;
  }
  return FALSE;
}

// --- toolbar items page

const int kChoiceIds[] = {IDC_PERSONAL_CHOICES1, IDC_PERSONAL_CHOICES2};
const int kTextIds[] = {IDC_PERSONAL_TEXT1, IDC_PERSONAL_TEXT2};
const int kLabelIds[] = {IDC_PERSONAL_LABEL1, IDC_PERSONAL_LABEL2};

void ShowItemLine(HWND page, PageState& state, int line) {
  const auto& lines = state.run->sheet->items->Lines();
  state.line = line >= 0 && static_cast<size_t>(line) < lines.size() ? line : -1;
  const ItemLine* item = state.line >= 0 ? &lines[static_cast<size_t>(state.line)] : nullptr;
  const bool caption = item && item->OffersCaption();
  const bool width = item && item->OffersWidth();
  Show(page, IDC_ICON_ONLY, caption);
  if (caption) Check(page, IDC_ICON_ONLY, item->iconOnly);
  Show(page, IDC_WIDTH_LABEL, width);
  Show(page, IDC_WIDTH, width);
  if (width) {
    Send(page, IDC_WIDTH, TBM_SETRANGEMIN, FALSE, item->entry->WidthFrom());
    Send(page, IDC_WIDTH, TBM_SETRANGEMAX, TRUE, item->entry->WidthTo());
    Send(page, IDC_WIDTH, TBM_SETPOS, TRUE, item->width);
  }
}

void FillItemsPage(HWND page, PageState& state) {
  ItemsPage& items = *state.run->sheet->items;
  HWND list = GetDlgItem(page, IDC_ITEM_LIST);
  state.busy = true;
  ListView_DeleteAllItems(list);
  const auto& lines = items.Lines();
  for (size_t i = 0; i < lines.size(); ++i) {
    LVITEMA row{};
    row.mask = LVIF_TEXT | LVIF_IMAGE;
    row.iItem = static_cast<int>(i);
    row.pszText = const_cast<char*>(lines[i].entry->Description().c_str());
    row.iImage = lines[i].entry->Image();
    const int at =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
    if (lines[i].HasCheckBox()) {
      ListView_SetCheckState(list, at, lines[i].visible);
    } else {
      ListView_SetItemState(list, at, 0, LVIS_STATEIMAGEMASK);
    }
  }
  const auto& fields = items.Fields();
  Show(page, IDC_PERSONAL_GROUP, !fields.empty());
  SetDlgItemTextA(page, IDC_PERSONAL_GROUP, items.GroupCaption().c_str());
  for (size_t f = 0; f < 2; ++f) {
    const bool exists = f < fields.size();
    const bool choices = exists && !fields[f].choices.empty();
    Show(page, kLabelIds[f], exists);
    Show(page, kChoiceIds[f], choices);
    Show(page, kTextIds[f], exists && !choices);
    if (!exists) continue;
    SetDlgItemTextA(page, kLabelIds[f], fields[f].description.c_str());
    Send(page, kChoiceIds[f], CB_RESETCONTENT);
    for (size_t c = 0; c < fields[f].choices.size(); ++c) {
      const auto at = Send(page, kChoiceIds[f], CB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(fields[f].choices[c].DisplayText().c_str()));
      Send(page, kChoiceIds[f], CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(c));
    }
    Send(page, kChoiceIds[f], CB_SETCURSEL, static_cast<WPARAM>(fields[f].SelectedChoice()));
    Limit(page, kTextIds[f], kPersonalTextLimit);
    SetDlgItemTextA(page, kTextIds[f], choices ? "" : fields[f].value.c_str());
  }
  state.busy = false;
  ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ShowItemLine(page, state, lines.empty() ? -1 : 0);
}

INT_PTR CALLBACK ItemsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  PageState* state = StateOf(page);
  switch (message) {
    case WM_INITDIALOG: {
      state = Attach(page, lParam);
      HWND list = GetDlgItem(page, IDC_ITEM_LIST);
      ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
      if (state->run->toolbar) {
        auto images =
            reinterpret_cast<HIMAGELIST>(SendMessageA(state->run->toolbar, TB_GETIMAGELIST, 0, 0));
        if (images) ListView_SetImageList(list, images, LVSIL_SMALL);
      }
      RECT client;
      GetClientRect(list, &client);
      LVCOLUMNA column{};
      column.mask = LVCF_WIDTH;
      column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
      SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
      FillItemsPage(page, *state);
      return TRUE;
    }
    case WM_COMMAND: {
      if (!state || state->busy) break;
      ItemsPage& items = *state->run->sheet->items;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      for (size_t f = 0; f < 2; ++f) {
        if (id == kChoiceIds[f] && code == CBN_SELCHANGE) {
          const auto at = Send(page, id, CB_GETCURSEL);
          if (at >= 0)
            items.SelectChoice(
                f, static_cast<int>(Send(page, id, CB_GETITEMDATA, static_cast<WPARAM>(at))));
        } else if (id == kTextIds[f] && code == EN_CHANGE) {
          items.SetFieldText(f, TextOf(GetDlgItem(page, id)));
        }
      }
      if (code == BN_CLICKED && id == IDC_ICON_ONLY && state->line >= 0) {
        items.SetIconOnly(static_cast<size_t>(state->line), Checked(page, IDC_ICON_ONLY));
      } else if (code == BN_CLICKED && id == IDC_RESET_ITEMS) {
        items.ResetToDefaults();
        FillItemsPage(page, *state);
      }
      return TRUE;
    }
    case WM_HSCROLL:
      if (state && !state->busy && state->line >= 0 &&
          reinterpret_cast<HWND>(lParam) == GetDlgItem(page, IDC_WIDTH))
        state->run->sheet->items->SetWidth(static_cast<size_t>(state->line),
                                           static_cast<int32_t>(Send(page, IDC_WIDTH, TBM_GETPOS)));
      return TRUE;
    case WM_NOTIFY: {
      if (OnApply(page, lParam, state)) return TRUE;
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!state || header->idFrom != IDC_ITEM_LIST || header->code != LVN_ITEMCHANGED) break;
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
      if (state->busy || !(change->uChanged & LVIF_STATE) || change->iItem < 0) return TRUE;
      const UINT changed = change->uNewState ^ change->uOldState;
      if ((changed & LVIS_STATEIMAGEMASK) && (change->uNewState & LVIS_STATEIMAGEMASK)) {
        // State image 2 is the ticked box.
        const bool ticked = ((change->uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
        state->run->sheet->items->SetVisible(static_cast<size_t>(change->iItem), ticked);
      }
      if ((changed & LVIS_SELECTED) && (change->uNewState & LVIS_SELECTED))
        ShowItemLine(page, *state, change->iItem);
      return TRUE;
    }
    default:
      break;
  }
  return FALSE;
}

}  // namespace

bool Win32OptionsUi::RunSheet(OptionsSheet& sheet) {
  INITCOMMONCONTROLSEX controls{
      sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  SheetRun run;
  run.sheet = &sheet;
  run.toolbar = toolbar_;
  PageState states[3];
  PROPSHEETPAGEA pages[3] = {};
  UINT count = 0;
  for (OptionsPageIndex index : sheet.pages) {
    if (count == 3) break;
    PROPSHEETPAGEA& p = pages[count];
    p.dwSize = sizeof p;
    p.dwFlags = PSP_DEFAULT;
    p.hInstance = module_;
    switch (index) {
      case kItemsPage:
        p.pszTemplate = MAKEINTRESOURCEA(IDD_ITEMS_PAGE);
        p.pfnDlgProc = ItemsPageProc;
        break;
      case kPopupPage:
        p.pszTemplate = MAKEINTRESOURCEA(IDD_POPUP_PAGE);
        p.pfnDlgProc = PopupPageProc;
        break;
      case kPop3Page:
        p.pszTemplate = MAKEINTRESOURCEA(IDD_POP3_PAGE);
        p.pfnDlgProc = Pop3PageProc;
        break;
    }
    states[count].run = &run;
    p.lParam = reinterpret_cast<LPARAM>(&states[count]);
    ++count;
  }
  if (count == 0) return false;
  char title[128] = "Toolbar options";
  LoadStringA(module_, IDS_OPTIONS_TITLE, title, sizeof title);
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
  header.hwndParent = GetActiveWindow();
  header.hInstance = module_;
  header.pszCaption = title;
  header.nPages = count;
  header.nStartPage = static_cast<UINT>(sheet.startPage);
  header.ppsp = pages;
  if (PropertySheetA(&header) < 0) return false;
  return run.ok;
}

}  // namespace qv::options
