#pragma once
// The preview dialog and its picture controls: members of the control, constructed and
// destroyed with it and never made windows, so none of them ever paints.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// A picture control with an image of its own (none until one is given) and a flag.
class CPreviewPicture {
 public:
  explicit CPreviewPicture(int id) : m_id(id) {}
  int id() const { return m_id; }

 private:
  int m_id;
  std::unique_ptr<std::vector<std::uint8_t>> m_image;
  int m_flag = 0;
};

class CMainDlg {
 public:
  static constexpr int kTemplateId = 201;
  static constexpr int kStaticId = 201;

  const std::array<CPreviewPicture, 3>& thumbnails() const { return m_thumbnails; }
  const CPreviewPicture& picture() const { return m_picture; }
  bool isShown() const { return m_bShown; }

 private:
  std::array<CPreviewPicture, 3> m_thumbnails{CPreviewPicture(202), CPreviewPicture(203),
                                              CPreviewPicture(204)};
  CPreviewPicture m_picture{205};
  bool m_bShown = true;
};
