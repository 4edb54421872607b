// A menu canvas that records what is drawn on it: fills, gradients, fonts,
// texts with the colour they were drawn in, images and check marks. Text is
// measured at 7 pixels a character and 16 pixels high; system colour i is
// 0x100 + i, so that each can be told apart.
#pragma once

#include <string>
#include <vector>

#include "platform/menu_canvas.h"

namespace qv::test {

class RecordingCanvas : public MenuCanvas {
 public:
  struct Call {
    std::string op;  // "fill", "gradient", "font", "text", "image", "check"
    Rect rect;
    uint32_t colour = 0;  // fill colour, gradient top, colour of a text
    uint32_t bottom = 0;  // gradient bottom
    std::string text;
    uint32_t format = 0;
    int image = -1;
    bool disabled = false;
    CanvasFont font;
  };

  static constexpr uint32_t Sys(int index) { return 0x100u + static_cast<uint32_t>(index); }

  Rect ClipBox() override { return clip; }
  uint32_t SystemColour(int index) override { return Sys(index); }
  int SystemMetric(int index) override { return index == kSmCyMenu ? menuBarHeight : 0; }
  void FillSolid(const Rect& rect, uint32_t colour) override { Add("fill", rect).colour = colour; }
  void GradientFillVertical(const Rect& rect, uint32_t top, uint32_t bottom) override {
    Call& c = Add("gradient", rect);
    c.colour = top;
    c.bottom = bottom;
  }
  bool SelectFont(const CanvasFont& font) override {
    Add("font", Rect{}).font = font;
    return true;
  }
  uint32_t SetTextColour(uint32_t colour) override {
    const uint32_t previous = textColour;
    textColour = colour;
    return previous;
  }
  void SetTransparentBackground() override { transparent = true; }
  void DrawText(const std::string& text, const Rect& rect, uint32_t format) override {
    Call& c = Add("text", rect);
    c.colour = textColour;
    c.text = text;
    c.format = format;
  }
  Size MeasureText(const std::string& text) override {
    return Size{7 * static_cast<int>(text.size()), 16};
  }
  void DrawImage(int index, Point at, bool disabled) override {
    Call& c = Add("image", Rect{at.x, at.y, at.x, at.y});
    c.image = index;
    c.disabled = disabled;
  }
  void DrawCheckMark(const Rect& rect) override { Add("check", rect); }

  std::vector<Call> Of(const std::string& op) const {
    std::vector<Call> found;
    for (const Call& c : calls)
      if (c.op == op) found.push_back(c);
    return found;
  }

  Call& Add(const std::string& op, const Rect& rect) {
    calls.emplace_back();
    calls.back().op = op;
    calls.back().rect = rect;
    return calls.back();
  }

  Rect clip{0, 0, 180, 240};
  int menuBarHeight = 19;
  uint32_t textColour = 0x123456;
  bool transparent = false;
  std::vector<Call> calls;
};

}  // namespace qv::test
