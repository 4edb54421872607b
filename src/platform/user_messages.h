// The user-messages seam: a modal message box without owner window.
#pragma once

#include <string>

namespace qv {

// Styles and answers keep their Windows values.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The answer of a box nobody can see: its default button (IDYES for
// yes/no and yes/no/cancel boxes, IDOK otherwise). Backends that show
// nothing answer this.
inline int DefaultAnswer(unsigned style) {
  const unsigned buttons = style & 0xF;
  return (buttons == kMbYesNo || buttons == 0x3) ? kIdYes : kIdOk;
}

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Shows text with caption and style; returns the button the user chose.
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned style) = 0;
};

}  // namespace qv
