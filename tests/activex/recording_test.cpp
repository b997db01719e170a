// The recording road's methods through the page: upload settings, the environment check on a
// media environment of the test's own, the machine code, hand-over to the upload service and
// the answers without a capture graph.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "control_fixture.h"
#include "fvplatform/media_devices.h"
#include "upload_listener.h"

namespace {

using pellacortest::HostedControl;

// A machine as the test describes it.
class TestMedia final : public fvplat::MediaEnvironment {
 public:
  HRESULT OpenDeviceEnumerator() override { return created; }
  int CaptureDeviceCount(fvplat::CaptureCategory category) override {
    return category == fvplat::CaptureCategory::AudioInput ? microphones : cameras;
  }
  HRESULT ReadMasterVolume(float* level, bool* muted) override {
    if (FAILED(volumeRead)) return volumeRead;
    *level = volume;
    *muted = mute;
    return S_OK;
  }
  HRESULT created = S_OK;
  int microphones = 0, cameras = 0;
  HRESULT volumeRead = S_OK;
  float volume = 0.5f;
  bool mute = false;
};

class RecordingPage : public HostedControl {
 protected:
  void TearDown() override { fvplat::SetMediaEnvironment(nullptr); }
  int Check(int type) { return page_.CallInt("CheckRunntingEnv", {type}); }
};

TEST_F(RecordingPage, EnvironmentCheckAnswers) {
  // The default environment of this platform has no devices at all.
  EXPECT_EQ(Check(0), 1);
  EXPECT_EQ(Check(1), 1);

  TestMedia media;
  fvplat::SetMediaEnvironment(&media);
  struct Case {
    const char* name;
    HRESULT created;
    int microphones, cameras;
    HRESULT volumeRead;
    float volume;
    bool mute;
    int type;
    int expected;
  };
  const HRESULT notRegistered = static_cast<HRESULT>(0x80040154u);
  const Case cases[] = {
      {"no enumerator", notRegistered, 1, 1, S_OK, 0.5f, false, 0, notRegistered},
      {"no enumerator, other type", notRegistered, 1, 1, S_OK, 0.5f, false, 7, notRegistered},
      {"microphone, loud enough", S_OK, 1, 0, S_OK, 0.5f, false, 0, 0},
      {"microphone, muted speaker", S_OK, 1, 0, S_OK, 0.5f, true, 0, 2},
      {"microphone, no speaker", S_OK, 1, 0, fvplat::E_NOTFOUND, 0.5f, false, 0, 0},
      {"no microphone", S_OK, 0, 2, S_OK, 0.5f, false, 0, 1},
      {"camera", S_OK, 0, 2, S_OK, 0.5f, true, 1, 2},
      {"no camera", S_OK, 2, 0, S_OK, 0.5f, false, 1, 1},
      {"other type", S_OK, 2, 2, S_OK, 0.5f, false, 2, 1},
  };
  for (const Case& c : cases) {
    media.created = c.created;
    media.microphones = c.microphones;
    media.cameras = c.cameras;
    media.volumeRead = c.volumeRead;
    media.volume = c.volume;
    media.mute = c.mute;
    EXPECT_EQ(Check(c.type), c.expected) << c.name;
  }
}

TEST_F(RecordingPage, UploadSettingsSetTheMinimumVolumeOnlyFromAnIntegerOfAnObject) {
  TestMedia media;
  media.microphones = 1;
  media.volume = 0.5f;  // 50 percent
  fvplat::SetMediaEnvironment(&media);
  struct Step {
    const char* text;
    int answer;
    int check;  // CheckRunntingEnv(0) afterwards
  };
  const Step steps[] = {
      {R"({"MinMasterVolumeLevel":60,"UploadUrl":"http://up","Version":"2"})", 0, 2},
      {"[40]", 1, 2},  // an array changes nothing
      {"not json", 1, 2},
      {R"({"MinMasterVolumeLevel":"10"})", 0, 2},  // a text: kept at 60
      {R"({"MinMasterVolumeLevel":50})", 0, 0},    // 50 is not above 50
      {R"({"MinMasterVolumeLevel":51,"Xratio":"wide"})", 0, 2},
      {R"({"MinMasterVolumeLevel":-100})", 0, 0},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(page_.CallInt("InitParam", {std::string(s.text)}), s.answer) << s.text;
    EXPECT_EQ(page_.CallInt("CheckRunntingEnv", {0}), s.check) << s.text;
  }
  // Muted reads as -1.0: any minimum above -100 asks for the volume.
  media.mute = true;
  EXPECT_EQ(page_.CallInt("InitParam", {std::string(R"({"MinMasterVolumeLevel":-99})")}), 0);
  EXPECT_EQ(page_.CallInt("CheckRunntingEnv", {0}), 2);
}

TEST_F(RecordingPage, MachineCodeIsTheProcessorsCpuidAnswer) {
  const std::string code = page_.CallText("GetMachineCode");
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(1, eax, ebx, ecx, edx);
  char expected[17];
  std::snprintf(expected, sizeof expected, "%08X%08X", edx, eax);
  EXPECT_EQ(code, expected);
#else
  EXPECT_EQ(code, "not available");
#endif
}

TEST_F(RecordingPage, WithoutACaptureGraphTheRecordingMethodsAnswerIdle) {
  const auto folder = std::filesystem::path(::testing::TempDir()) /
                      ("pellacor_rec_" + std::to_string(::getpid()));
  ::setenv("FV_RECORDING_DIR", folder.c_str(), 1);
  EXPECT_EQ(page_.CallText("StartCapture"), "");
  EXPECT_TRUE(std::filesystem::is_directory(folder));  // made ready
  EXPECT_EQ(page_.CallInt("GetRecordStatus"), 0);
  EXPECT_EQ(page_.CallInt("CompleteCapture"), 1);
  EXPECT_EQ(page_.CallInt("CancelCapture"), 0);
  EXPECT_EQ(page_.CallInt("EndPreView"), 0);
  EXPECT_EQ(page_.CallText("ORVEK_CutPictureFromFile", {std::string("/no/such/picture.png")}), "3");
  ::unsetenv("FV_RECORDING_DIR");
  std::filesystem::remove_all(folder);
}

TEST_F(RecordingPage, FilesGoToTheUploadServiceAndForeignNamesAreRefused) {
  ::setenv("FV_RECORDING_DIR", "/rec", 1);
  pellacortest::UploadListener service("1");
  ASSERT_TRUE(service.listening()) << "the upload service could not listen on loopback";
  ::setenv("FV_UPLOAD_PORT", std::to_string(service.port()).c_str(), 1);
  using V = std::vector<simbrowser::ScriptValue>;
  const V refused[] = {
      {std::string("http://up/x"), std::string("")},
      {std::string(""), std::string("a.mp4")},
      {std::string("http://up/x"), std::string("../a.mp4")},
      {std::string("http://up/x"), std::string("sub/a.mp4")},
      {std::string("http://up/x"), std::string("sub\\a.mp4")},
      {std::string("http://up/x"), std::string("..")},
  };
  for (const V& args : refused) {
    EXPECT_EQ(page_.Call("UploadVedioFile", args).hr, S_OK);
  }
  page_.Call("UpLoadVedio", {std::string("")});
  // The calls return after the answer: what the service has seen by now is all that was sent.
  page_.Call("UploadVedioFile", {std::string("http://up/x"), std::string("20240101.mp4")});
  page_.Call("UpLoadVedio", {std::string("http://up/y")});  // no recording yet
  const auto received = service.received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], std::string("http://up/x,/rec/20240101.mp4") + '\0');
  EXPECT_EQ(received[1], std::string("http://up/y,") + '\0');
  ::unsetenv("FV_UPLOAD_PORT");
  ::unsetenv("FV_RECORDING_DIR");
}

}  // namespace
