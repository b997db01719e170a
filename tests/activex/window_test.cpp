// Worker reports and power messages at the control's window.

#include <gtest/gtest.h>

#include "control_fixture.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace {

using pellacortest::HostedControl;

constexpr UINT kVeinModel = 1134;
constexpr UINT kVeinRecog = 1135;

class ControlWindow : public HostedControl {
 protected:
  HWND Window() {
    HWND window = nullptr;
    page_.RunOnUi([&] {
      const auto children = fvplat::ChildWindows(page_.PageWindow());
      if (!children.empty()) window = children.front();
    });
    return window;
  }
  // Posts a report as a worker does: a heap text that the window takes over.
  void PostReport(UINT message, WPARAM stage, const std::string& text) {
    ASSERT_TRUE(PostMessageA(Window(), message, stage, reinterpret_cast<LPARAM>(new std::string(text))));
  }
  std::vector<simbrowser::FiredEvent> EventsAfterPump() {
    page_.RunOnUi([] { fvplat::PumpPending(); });  // runs what was posted to the window
    return page_.Events();
  }
};

TEST_F(ControlWindow, ReportsBecomeEventsByStageOnTheUiThread) {
  ASSERT_NE(Window(), nullptr);
  const struct {
    UINT message;
    WPARAM stage;
    DISPID event;  // 0: none
  } cases[] = {
      {kVeinModel, 0, 9}, {kVeinModel, 1, 10}, {kVeinModel, 2, 11}, {kVeinModel, 3, 12},
      {kVeinRecog, 0, 13}, {kVeinRecog, 1, 14}, {kVeinRecog, 2, 15}, {kVeinRecog, 3, 16},
      {kVeinModel, 7, 0}, {kVeinRecog, 4, 0},
  };
  for (const auto& c : cases) {
    page_.ClearEvents();
    PostReport(c.message, c.stage, "{\"RETURNID\":" + std::to_string(c.stage) + "}");
    const auto events = EventsAfterPump();
    if (c.event == 0) {
      EXPECT_TRUE(events.empty()) << c.message << " " << c.stage;  // the text is still freed
    } else {
      ASSERT_EQ(events.size(), 1u) << c.message << " " << c.stage;
      EXPECT_EQ(events[0].id, c.event);
      EXPECT_EQ(events[0].text, "{\"RETURNID\":" + std::to_string(c.stage) + "}");
    }
  }
  EXPECT_TRUE(page_.EventsOnUiThread());
}

TEST_F(ControlWindow, SuspendQueryIsRefusedAndPrivateMessagesAnswerOne) {
  const struct {
    UINT message;
    WPARAM wParam;
    LRESULT expected;
  } cases[] = {
      {WM_POWERBROADCAST, 0x0000, 0x424D5144},  // query suspend: refused, device closed as well
      {1044, 0, 1},
      {1049, 0, 1},
  };
  for (const auto& c : cases) {
    LRESULT result = 0;
    page_.RunOnUi([&] { result = SendMessageA(Window(), c.message, c.wParam, 0); });
    EXPECT_EQ(result, c.expected) << c.message;
  }
}

}  // namespace
