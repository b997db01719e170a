#include "settings/prompt_tables.h"

#include <array>

namespace fvbrowser {
namespace {

constexpr std::array<std::string_view, 43> kChinese = {
    "开始指静脉建模",
    "终止建模",
    "设备连接状态异常",
    "确认超时",
    "超时",
    "完成采集",
    "完成拍照",
    "目前没有手指，请放下手指拍照",
    "请放入左手食指，是否继续？",
    "请放入左手中指，是否继续？",
    "请放入左手无名指，是否继续？",
    "请放入右手食指，是否继续？",
    "请放入右手中指，是否继续？",
    "请放入右手无名指，是否继续？",
    "请再放一次左手食指。",
    "请再放一次左手中指。",
    "请再放一次左手无名指。",
    "请再放一次右手食指。",
    "请再放一次右手中指。",
    "请再放一次右手无名指。",
    "您已取消当次手指采集",
    "请按照指示放下正确的手指",
    "请您将手指贴到设备右壁",
    "请您将指尖接触设备",
    "请您将指腹接触设备",
    "您已成功采集左手食指。",
    "您已成功采集左手中指。",
    "您已成功采集左手无名指。",
    "您已成功采集右手食指。",
    "您已成功采集右手中指。",
    "您已成功采集右手无名指。",
    "请松开手指！",
    "开始指静脉认证",
    "请放入手指，是否继续？",
    "认证成功！",
    "认证失败！",
    "您已成功采集手指,开始认证。",
    "认证完成！",
    "终止认证",
    "当前没有手指，请放下手指进行拍照",
    "拍照完成",
    "匹配分数:",
    "游标:",
};

constexpr std::array<std::string_view, 43> kEnglish = {
    "Finger vein modeling",
    "Termination modeling",
    "Device connection exception",
    "acknowledge timeout",
    "timeout",
    "Complete collection",
    "Complete photo",
    "No finger, please put your finger down",
    "Please put the left index finger, continue?",
    "Please put the middle finger of the left hand, continue?",
    "Please put the ring finger of the left hand, continue?",
    "Please put the right index finger, continue?",
    "Please put the middle finger of the right hand, continue?",
    "Please put the right hand ring finger, continue?",
    "Please put your left index finger again.",
    "Please put the left middle finger again.",
    "Please put your left hand ring finger again.",
    "Please put your right index finger again.",
    "Please put your right middle finger again.",
    "Please put your right finger again.",
    "You have canceled the secondary finger collection",
    "Please put down the right finger according to the instruction",
    "Please attach your finger to the right side of the device",
    "Please contact your fingertips",
    "Please contact your finger contact device",
    "You have successfully collected the left index finger.",
    "You have successfully collected the middle finger of the left hand.",
    "You have successfully acquired the left hand ring finger.",
    "You have successfully collected the right index finger.",
    "You have successfully collected the middle finger of the right hand.",
    "You have successfully acquired the right ring finger.",
    "Loosen your fingers!",
    "Start vein authentication",
    "Please put your finger on and continue?",
    "Authentication success!",
    "Authentication failed!",
    "You have successfully collected fingers.",
    "Certification completed!",
    "Termination authentication",
    "There are no fingers now, please put down your fingers and take photos",
    "Photo finish",
    "Matching score:",
    "Mark:",
};

// Entries 41 and 42 exist only in the plug-in's tables.
constexpr int kSharedEntries = 41;

}  // namespace

std::string_view builtInPrompt(int language, int number, bool pluginTables) {
  const int entries = pluginTables ? static_cast<int>(kChinese.size()) : kSharedEntries;
  if (number < 0 || number >= entries) return {};
  return language == 1 ? kChinese[static_cast<std::size_t>(number)]
                       : kEnglish[static_cast<std::size_t>(number)];
}

}  // namespace fvbrowser
