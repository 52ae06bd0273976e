// The on-screen keyboard for trading passwords.
//
// VexloSoftKeyboardWnd draws the keyboard picture ("res\background.png",
// whose size is the window's) with 36 character keys (digits and letters,
// shuffled at every showing), a case key, a delete key, a confirm key and an
// exit key, all FooButtons skinned by "res\key.png", "res\other.png" and
// "res\enter.png" (read relative to the working folder). Every key press is
// sent to the parent as WM_SOFTKEY_INPUT (control_messages.h).
//
// VexloSoftKeyDlg is the borderless pop-up that hosts it. It places itself
// at the position set by its owner whenever it is activated by a call
// (WA_ACTIVE, not by a click), and forwards the keyboard's messages to its
// target: confirm and exit close it, everything else (delete, a character,
// any other value) is sent on unchanged. Enter never closes it; Esc does.
// Used modally (DoModal, always IDCANCEL) or modeless (Create, then
// ShowWindow(SW_SHOW/SW_HIDE) by its owner; closing hides it). Every
// showing builds a fresh keyboard: a new arrangement, lower-case letters.
// Without a target nothing is forwarded and only Esc closes it.
//
// The arrangement: the C library's generator seeded with the time in whole
// seconds, then each key of a group exchanged once with a random partner of
// its group (digits among the digit keys, letters among the letter keys);
// two showings in the same second give the same arrangement.
//
// UI thread only.
#pragma once

#include <array>
#include <ctime>
#include <memory>

#include "controls/control_messages.h"
#include "controls/dialog_base.h"
#include "controls/foo_button.h"
#include "platform/mfc/afx.h"
#include "platform/mfc/afx_controls.h"

// Where the keyboard's arrangement comes from: the C library's srand/rand
// seeded with time() by default; tests replace it.
class SoftKeyRandom {
 public:
  virtual ~SoftKeyRandom() = default;
  virtual std::time_t Now() { return std::time(nullptr); }
  virtual void Seed(std::time_t seconds) { std::srand(static_cast<unsigned>(seconds)); }
  virtual int Next() { return std::rand(); }
};

class VexloSoftKeyboardWnd : public CWnd {
 public:
  static constexpr int kCharacterKeys = 36;

  VexloSoftKeyboardWnd();
  ~VexloSoftKeyboardWnd() override;

  // Registers the class "VexloSoftKeyboard" (an existing registration is
  // accepted; the framework's default class when registration fails) and
  // makes the visible child at origin, as large as the background picture.
  BOOL Create(POINT origin, CWnd* parent, UINT id, void* context = nullptr);
  // A new arrangement of the characters (see above).
  void ShuffleKeys();
  // Every letter key's caption to the other case.
  void ToggleCase();

  // The source of every keyboard's arrangement (null: the default one); the
  // caller keeps it alive while it is set.
  static void SetRandomSource(SoftKeyRandom* source);

  FooButton* Key(int index) { return keys_[index].get(); }

 protected:
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnPaint() override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  BOOL OnCmdMsg(UINT id, int code) override;

 private:
  void CreateKey(FooButton* key, const RECT& rect, const WCHAR* normal, const WCHAR* pressed, UINT id,
                 const WCHAR* caption, CFont* font);

  std::unique_ptr<CFont> font_;
  std::unique_ptr<CImage> background_;
  std::unique_ptr<CStatic> label_;
  std::unique_ptr<FooButton> exit_;
  std::unique_ptr<FooButton> ok_;
  std::unique_ptr<FooButton> delete_;
  std::unique_ptr<FooButton> case_;
  std::array<std::unique_ptr<FooButton>, kCharacterKeys> keys_;
};

// The dialog's base.
using SoftKeyDialogBase = VexloDialog;

class VexloSoftKeyDlg : public SoftKeyDialogBase {
 public:
  explicit VexloSoftKeyDlg(CWnd* parent = nullptr);
  ~VexloSoftKeyDlg() override;

  void SetTarget(CWnd* target) { target_ = target; }
  void SetPosition(int x, int y) {
    x_ = x;
    y_ = y;
  }
  // Modeless: the hidden dialog, shown and hidden by its owner.
  BOOL Create(CWnd* parent);

  VexloSoftKeyboardWnd* Keyboard() { return keyboard_.get(); }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnActivate(UINT state, CWnd* other, BOOL minimized) override;
  void OnShowWindow(BOOL show, UINT status) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void BuildKeyboard();
  void Close();

  std::unique_ptr<VexloSoftKeyboardWnd> keyboard_;
  CWnd* target_ = nullptr;
  int x_ = 0;
  int y_ = 0;
};
