// The template and picture methods through the page, against the scripted device library:
// feature lists in their three forms, the match threshold, extraction, taking pictures and
// texts that are not base64.

#include <gtest/gtest.h>

#include <mutex>
#include <optional>

#include "fvcommon/base64.h"
#include "picture_fixture.h"

namespace {

using fakedrx::Bytes;
using pellacortest::ParseJson;
using V = std::vector<simbrowser::ScriptValue>;

constexpr std::size_t kModel = 3352;

Bytes Filled(std::size_t size, std::uint8_t value) { return Bytes(size, value); }
std::string B64(const Bytes& bytes) { return fvcommon::Base64Encode(bytes.data(), bytes.size()); }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class TemplateMethods : public pellacortest::ScriptedDevicePage {
 protected:
  // Scripts the search: records the templates it is given and answers `result`, `position`
  // and `score` (written only when the search succeeds).
  void ScriptIndex(int result, int position, float score) {
    fakedrx::Handlers h;
    h.index = [this, result, position, score](const std::vector<Bytes>& models, const Bytes& probe,
                                              int& pos, float& sim) {
      std::lock_guard<std::mutex> guard(lock_);
      models_ = models;
      probe_ = probe;
      if (result == 0) return 0;
      pos = position;
      sim = score;
      return 1;
    };
    h.match = [score](const Bytes&, const Bytes&, float& sim) {
      sim = score;
      return 1;
    };
    fakedrx::install(h);
  }
  std::vector<Bytes> Models() {
    std::lock_guard<std::mutex> guard(lock_);
    return models_;
  }
  int IndexCalls() {
    int n = 0;
    for (const auto& call : fakedrx::calls()) n += call.rfind("index(", 0) == 0 ? 1 : 0;
    return n;
  }

  std::mutex lock_;
  std::vector<Bytes> models_;
  Bytes probe_;
};

TEST_F(TemplateMethods, FeatureListsInTheirThreeForms) {
  const Bytes a = Filled(kModel, 0x11), b = Filled(kModel, 0x22), zero = Filled(kModel, 0);
  Bytes longer = Filled(kModel + 48, 0x33);
  // 0xD7 bytes encode as "19..": a bare template that begins with digits is still a template.
  const Bytes digits = Filled(kModel, 0xD7);
  ASSERT_EQ(B64(digits).substr(0, 2), "19");
  struct Case {
    const char* name;
    std::string text;
    std::vector<Bytes> expected;  // empty: refused, no search and nothing posted
  };
  const Case cases[] = {
      {"bare template", B64(a), {a}},
      {"bare template beginning with digits", B64(digits), {digits}},
      {"bare text one byte short", B64(Filled(kModel - 1, 0x11)), {}},
      {"bare text one byte long", B64(Filled(kModel + 1, 0x11)), {}},
      {"array", "[" + Quoted(B64(a)) + "," + Quoted(B64(b)) + "]", {a, b}},
      {"array, second short", "[" + Quoted(B64(a)) + "," + Quoted(B64(Filled(kModel - 1, 1))) + "]", {}},
      {"array, second not a text", "[" + Quoted(B64(a)) + ",{}]", {}},
      {"empty array", "[]", {}},
      {"object with gaps", "{\"num\":3,\"1\":" + Quoted(B64(b)) + "}", {zero, b, zero}},
      {"object, longer member cut", "{\"num\":1,\"0\":" + Quoted(B64(longer)) + "}", {Filled(kModel, 0x33)}},
      {"object, short member", "{\"num\":2,\"0\":" + Quoted(B64(a)) + ",\"1\":\"QUJD\"}", {}},
      {"object without num", "{\"0\":" + Quoted(B64(a)) + "}", {}},
      {"object, num 0", "{\"num\":0,\"0\":" + Quoted(B64(a)) + "}", {}},
      {"object, num negative", "{\"num\":-4}", {}},
      {"object, num a text", "{\"num\":\"two\",\"0\":" + Quoted(B64(a)) + "}", {}},
      {"a JSON number", "12345", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptIndex(1, 0, 0.9f);
    page_->ClearEvents();
    const int answer = page_->CallInt("ORVEK_VeinFeatureCompare", {c.text, B64(Filled(100, 5))});
    const auto events = EventsAfterPump();
    if (c.expected.empty()) {
      EXPECT_EQ(answer, -1);
      EXPECT_EQ(IndexCalls(), 0);
      EXPECT_TRUE(events.empty());
      continue;
    }
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(Models(), c.expected);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, kOnTakePicture);
  }
}

TEST_F(TemplateMethods, NumIsCappedAtTenThousandTemplates) {
  ScriptIndex(1, 0, 0.9f);
  const Bytes a = Filled(kModel, 0x11);
  EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare",
                           {"{\"num\":2000000000,\"0\":" + Quoted(B64(a)) + "}", B64(a)}),
            0);
  const auto models = Models();
  ASSERT_EQ(models.size(), 10000u);
  EXPECT_EQ(models.front(), a);
  EXPECT_EQ(models.back(), Filled(kModel, 0));
}

TEST_F(TemplateMethods, SearchResultIsPostedAndASimilarityEqualToThreshIsNoMatch) {
  const std::string list = "[" + Quoted(B64(Filled(kModel, 1))) + "," + Quoted(B64(Filled(kModel, 2))) +
                           "," + Quoted(B64(Filled(kModel, 3))) + "]";
  const Bytes probe = Filled(77, 9);
  struct Case {
    int result, position;
    float score;
    int answer;
    const char* posted;
  };
  // The default "Thresh" is 0.51.
  const Case cases[] = {
      {1, 2, 0.52f, 2, "{\"POS\":2,\"RETURNDESC\":\"Certification completed!\",\"RETURNID\":0,\"RETURNVALUE\":\"0.5200\"}\n"},
      {1, 2, 0.51f, -1, "{\"POS\":2,\"RETURNDESC\":\"Certification completed!\",\"RETURNID\":0,\"RETURNVALUE\":\"0.5100\"}\n"},
      {1, 1, 0.2f, -1, "{\"POS\":1,\"RETURNDESC\":\"Certification completed!\",\"RETURNID\":0,\"RETURNVALUE\":\"0.2000\"}\n"},
      // A failing search writes nothing: the preset position and similarity are reported.
      {0, 2, 0.99f, -1, "{\"POS\":-1,\"RETURNDESC\":\"Certification completed!\",\"RETURNID\":0,\"RETURNVALUE\":\"0.0000\"}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    ScriptIndex(c.result, c.position, c.score);
    page_->ClearEvents();
    EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare", {list, B64(probe)}), c.answer);
    const auto events = EventsAfterPump();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, kOnTakePicture);
    EXPECT_EQ(events[0].text, c.posted);
    std::lock_guard<std::mutex> guard(lock_);
    EXPECT_EQ(probe_, probe);
  }
  // A raised threshold moves the line.
  ASSERT_EQ(page_->CallInt("ORVEK_Init_Vein", {std::string(R"({"Thresh":0.7})")}), 0);
  ScriptIndex(1, 0, 0.69f);
  EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare", {list, B64(probe)}), -1);
  ScriptIndex(1, 0, 0.71f);
  EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare", {list, B64(probe)}), 0);
}

TEST_F(TemplateMethods, ImageCompareBuildsFromTheFirstAndMatchesTheSecond) {
  const Bytes first = Filled(120, 4), second = Filled(90, 6);
  struct Case {
    int extract, match;
    float score;
    int answer;
  };
  const Case cases[] = {
      {1, 1, 0.52f, 1}, {1, 1, 0.51f, -1}, {1, 0, 0.9f, -1}, {0, 1, 0.9f, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.extract << c.match << c.score);
    fakedrx::Handlers h;
    Bytes extractedFrom, matched;
    h.extract = [&](const Bytes& b1, const Bytes& b2, const Bytes& b3, Bytes& model) {
      extractedFrom = b1;
      EXPECT_TRUE(b2.empty() && b3.empty());
      model.assign(kModel, 0x42);
      return c.extract;
    };
    h.match = [&](const Bytes& blob, const Bytes& model, float& score) {
      matched = blob;
      EXPECT_EQ(model, Filled(kModel, 0x42));
      score = c.score;
      return c.match;
    };
    fakedrx::install(h);
    EXPECT_EQ(page_->CallInt("ORVEK_VeinImageCompare", {B64(first), B64(second)}), c.answer);
    EXPECT_EQ(extractedFrom, first);
    EXPECT_EQ(matched, c.extract != 0 ? second : Bytes());
  }
}

TEST_F(TemplateMethods, ExtractionAnswersTheTemplateOnlyForAGoodImageAndATemplate) {
  const Bytes image = Filled(200, 0x5A);
  struct Case {
    int verdict, extract;
    bool answered;
  };
  const Case cases[] = {{0, 1, true}, {1, 1, false}, {-1, 1, false}, {0, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.verdict << " " << c.extract);
    fakedrx::Handlers h;
    h.quality = [&](const Bytes& blob, int& quality) {
      EXPECT_EQ(blob, image);
      quality = c.verdict;
      return 1;
    };
    h.extract = [&](const Bytes&, const Bytes&, const Bytes&, Bytes& model) {
      model.assign(kModel, 0x5A);
      return c.extract;
    };
    fakedrx::install(h);
    const std::string answer = page_->CallText("ORVEK_ExtractVeinFeature", {B64(image)});
    EXPECT_EQ(answer, c.answered ? B64(Filled(kModel, 0x5A)) : "");
  }
}

TEST_F(TemplateMethods, ShortAndBrokenBase64TextsReachTheLibraryOnlyAsTheirOwnBytes) {
  const std::string good = B64(Filled(kModel, 1));
  struct Case {
    std::string text;
    std::optional<Bytes> bytes;  // none: not base64, refused before the library
  };
  const Case cases[] = {
      {"", Bytes{}},
      {"AB", Bytes{0x00}},
      {"ABC", Bytes{0x00, 0x10}},
      {"QQ==", Bytes{'A'}},
      {"QUI=", Bytes{'A', 'B'}},
      {"A", std::nullopt},
      {"=", std::nullopt},
      {"==", std::nullopt},
      {"A===", std::nullopt},
      {"AB=C", std::nullopt},
      {"@@@@", std::nullopt},
      {"QQ=\n", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<Bytes> judged;
    fakedrx::Handlers h;
    h.quality = [&](const Bytes& blob, int& quality) {
      judged.push_back(blob);
      quality = blob.empty() ? -1 : 0;
      return 1;
    };
    h.extract = [](const Bytes& b1, const Bytes&, const Bytes&, Bytes& model) {
      model.assign(kModel, 7);
      return b1.empty() ? 0 : 1;
    };
    fakedrx::install(h);
    const std::string answer = page_->CallText("ORVEK_ExtractVeinFeature", {c.text});
    if (!c.bytes) {
      EXPECT_EQ(answer, "");
      EXPECT_TRUE(judged.empty());
      EXPECT_EQ(page_->CallInt("ORVEK_VeinImageCompare", {c.text, good}), -1);
      EXPECT_EQ(page_->CallInt("ORVEK_VeinImageCompare", {good, c.text}), -1);
      EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare", {c.text, good}), -1);
      EXPECT_TRUE(fakedrx::calls().empty());
      continue;
    }
    ASSERT_EQ(judged.size(), 1u);
    EXPECT_EQ(judged[0], *c.bytes);
    EXPECT_EQ(answer, c.bytes->empty() ? "" : B64(Filled(kModel, 7)));
  }
}

class TakePicture : public pellacortest::ScriptedDevicePage {
 protected:
  void Script(int state, std::function<bool(Bytes&)> grab, int verdict = 0) {
    fakedrx::Handlers h;
    h.fingerState = [state] { return state; };
    h.grab = std::move(grab);
    h.quality = [verdict](const Bytes&, int& quality) {
      quality = verdict;
      return 1;
    };
    fakedrx::install(h);
  }
  std::vector<std::string> LedCalls() {
    std::vector<std::string> leds;
    for (const auto& call : fakedrx::calls()) {
      if (call.rfind("led(", 0) == 0) leds.push_back(call);
    }
    return leds;
  }
};

TEST_F(TakePicture, ClosedDeviceNoFingerAndNoFrame) {
  EXPECT_EQ(page_->CallInt("ORVEK_TakeVeinPicture"), -1);
  EXPECT_TRUE(EventsAfterPump().empty());
  OpenDevice();

  Script(0, [](Bytes&) { return false; });
  EXPECT_EQ(page_->CallInt("ORVEK_TakeVeinPicture"), -2);
  auto events = page_->Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].id, kOnTakePicture);
  EXPECT_EQ(events[0].text,
            "{\"RETURNDESC\":\"There are no fingers now, please put down your fingers and take "
            "photos\",\"RETURNID\":-1,\"RETURNVALUE\":\"\"}\n");
  EXPECT_TRUE(LedCalls().empty());

  // A finger but no frame: the grab is given up after 2000 ms (fake clock), without an event.
  page_->ClearEvents();
  const std::uint64_t before = clock_.clock().NowMs();
  Script(3, [](Bytes&) { return false; });
  EXPECT_EQ(page_->CallInt("ORVEK_TakeVeinPicture"), -2);
  const std::uint64_t waited = clock_.clock().NowMs() - before;
  EXPECT_GT(waited, 2000u);
  EXPECT_LT(waited, 2100u);
  EXPECT_TRUE(EventsAfterPump().empty());
  EXPECT_EQ(LedCalls(), (std::vector<std::string>{"led(0,1)"}));
}

TEST_F(TakePicture, AFrameIsReportedWithItsQualityAndTheSeventeenthAsWell) {
  OpenDevice();
  for (int i = 1; i <= 17; ++i) {
    SCOPED_TRACE(i);
    const Bytes frame = Filled(300 + i, static_cast<std::uint8_t>(i));
    int polls = 0;
    Script(3, [&](Bytes& out) {
      if (++polls < 3) return false;  // two empty polls first
      out = frame;
      return true;
    }, i % 3);
    page_->ClearEvents();
    ASSERT_EQ(page_->CallInt("ORVEK_TakeVeinPicture"), 0);
    const auto events = page_->Events();
    ASSERT_EQ(events.size(), 1u);
    const Json::Value report = ParseJson(events[0].text);
    EXPECT_EQ(report["RETURNID"].asInt(), 0);
    EXPECT_EQ(report["QUALITY"].asInt(), i % 3);
    EXPECT_EQ(report["RETURNVALUE"].asString(), "");
    EXPECT_EQ(report["RETURNDESC"].asString(), "Photo finish");
    EXPECT_EQ(report["IMAGE"].asString(), B64(frame));  // the new frame, also past 16
    EXPECT_EQ(LedCalls(), (std::vector<std::string>{"led(0,1)", "led(1,0)"}));
  }
}

TEST_F(TakePicture, QualityJudgementPassesTheTextWithItsZeroOnlyWhileOpen) {
  std::vector<Bytes> judged;
  auto script = [&] {
    fakedrx::Handlers h;
    h.quality = [&](const Bytes& blob, int& quality) {
      judged.push_back(blob);
      quality = 0;
      return 1;
    };
    fakedrx::install(h);
  };
  script();
  EXPECT_EQ(page_->CallInt("ORVEK_PictureQualityAsses", {std::string("abc")}), 0);
  EXPECT_TRUE(judged.empty());
  OpenDevice();
  script();
  EXPECT_EQ(page_->CallInt("ORVEK_PictureQualityAsses", {std::string("abc")}), 0);
  ASSERT_EQ(judged.size(), 1u);
  EXPECT_EQ(judged[0], (Bytes{'a', 'b', 'c', 0}));
}

}  // namespace
