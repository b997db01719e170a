#pragma once
// The About box, dialog resource 1 (234 x 55 dialog units, caption "关于 Pellacor Control"):
// the control's icon, one line with the control's name and version, and an OK button. It runs
// modally under the dialog layer's modal-dialog policy.

#include <string>

class CAboutDlg {
 public:
  static constexpr int kTemplateId = 1;
  static constexpr int kIconId = 2;  // the icon's picture control
  static constexpr int kTextId = 3;
  static constexpr const char* kCaption = "关于 Pellacor Control";
  static constexpr int kIconSize = 32;  // pixels

  // Builds the dialog (a top-level window, as a modal dialog is), runs it and destroys it;
  // its result.
  static int DoModal(const std::string& version);

  // The line of text for `version`.
  static std::string AboutText(const std::string& version);
};
