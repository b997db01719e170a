#include "dialog/torvane_dlg.h"

namespace torvane {
namespace {

using fvplat::ControlKind;

// The dialog template: id, kind, initial text, place in pixels, centred, bitmap.
struct TemplateEntry {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, width, height;
  bool centred;
  int bitmap;
};

const TemplateEntry kTemplate[] = {
    {kIdName, ControlKind::Static, "会员姓名", 190, 36, 400, 30, false, 0},
    {kIdStatus, ControlKind::Static, "放置手指", 190, 74, 400, 34, false, 0},
    {kIdPrompt, ControlKind::Static, "请放置手指", 190, 112, 420, 24, false, 0},
    {kIdSuccessPicture, ControlKind::Picture, "", 254, 60, 120, 100, false, 130},
    {kIdSuccessText, ControlKind::Static, "恭喜您，采集成功！", 260, 176, 200, 34, false, 0},
    {kIdBack, ControlKind::BitmapButton, "", 440, 296, 80, 32, false, 132},
    {kIdRestart, ControlKind::BitmapButton, "", 530, 296, 80, 32, false, 134},
    {kIdIdlePicture, ControlKind::Picture, "", 214, 40, 200, 170, false, 131},
    {kIdResult, ControlKind::Static, "Static", 64, 226, 500, 40, true, 0},
    {kIdProgress, ControlKind::Progress, "", 64, 274, 500, 16, false, 0},
    {kIdChangeDeviceId, ControlKind::BitmapButton, "修改设备ID", 470, 318, 120, 28, false, 140},
    {kIdDeviceLine, ControlKind::Static, "", 64, 322, 400, 24, true, 0},
    {kIdRevealChange, ControlKind::BitmapButton, "", 600, 330, fvplat::DialogUnitsX(10),
     fvplat::DialogUnitsY(9), false, 139},
    {kIdPreview, ControlKind::Static, "", 190, 142, fvplat::DialogUnitsX(153),
     fvplat::DialogUnitsY(77), false, 0},
};

}  // namespace

void CTorvaneDlg::createControls() {
  for (const TemplateEntry& e : kTemplate) {
    fvplat::ControlSpec spec;
    spec.id = e.id;
    spec.kind = e.kind;
    spec.text = e.text;
    spec.x = e.x;
    spec.y = e.y;
    spec.width = e.width;
    spec.height = e.height;
    spec.centred = e.centred;
    spec.bitmap = e.bitmap;
    fvplat::CreateControl(m_hWnd, spec);
  }
}

}  // namespace torvane
