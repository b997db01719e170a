#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "match_fixtures.h"
#include "veltrum.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Accepting a template is a promise: no template, stored form or feature that the exports take
// matches a finger it was not made from. A seeded loop of random and mutated inputs through
// decoding, matching and search holds them to it (and gives the sanitizers their inputs).
class TemplateFuzz : public ::testing::Test {
 protected:
  static constexpr float kAccept = 0.6f;  // the device library's default threshold
  static constexpr int kFingers = 4;

  void SetUp() override {
    ASSERT_EQ(VLT_FV_Init(0), 0);
    for (int i = 0; i < kFingers; ++i) {
      const auto& m = matchtest::FingerModel(60 + i);
      const auto& f = matchtest::FingerFeature(60 + i, 3);
      models_.emplace_back(reinterpret_cast<const unsigned char*>(&m),
                           reinterpret_cast<const unsigned char*>(&m) + kVltModelBytes);
      features_.emplace_back(reinterpret_cast<const unsigned char*>(&f),
                             reinterpret_cast<const unsigned char*>(&f) + kVltFeatureBytes);
      Bytes stored(kVltSerialisedBytes);
      int length = 0;
      ASSERT_EQ(VLT_FV_Encode(models_.back().data(), stored.data(), &length), 0);
      stored_.push_back(stored);
    }
  }

  Bytes Random(std::size_t size) {
    Bytes b(size);
    for (auto& x : b) x = static_cast<unsigned char>(rng_());
    return b;
  }

  // A few of: a byte replaced, 0xFF or 0x00 written, a bit flipped, a run overwritten.
  void Mutate(Bytes& b) {
    const int edits = 1 + static_cast<int>(rng_() % 6);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = rng_() % b.size();
      switch (rng_() % 5) {
        case 0: b[at] = static_cast<unsigned char>(rng_()); break;
        case 1: b[at] = 0xFF; break;
        case 2: b[at] = 0x00; break;
        case 3: b[at] ^= static_cast<unsigned char>(1u << (rng_() % 8)); break;
        default: {
          const std::size_t run = std::min<std::size_t>(8 + rng_() % 120, b.size() - at);
          const unsigned char fill = rng_() % 2 ? 0xFF : static_cast<unsigned char>(rng_());
          std::memset(b.data() + at, fill, run);
        }
      }
    }
  }

  // A template from outside: random, or a genuine one of `owner` mutated, as 3352 bytes or
  // through its stored form. Empty when decoding refuses it.
  Bytes OutsideTemplate(int owner) {
    const bool stored = rng_() % 2;
    Bytes b = rng_() % 4 == 0 ? Random(stored ? kVltSerialisedBytes : kVltModelBytes)
                              : (stored ? stored_[owner] : models_[owner]);
    if (rng_() % 8 == 0) std::memset(b.data(), 0xFF, b.size());
    Mutate(b);
    if (!stored) return b;
    Bytes model(kVltModelBytes, 0);
    const int status = VLT_FV_Decode(b.data(), kVltSerialisedBytes, model.data());
    EXPECT_TRUE(status == 0 || status == 4002) << status;
    return status == 0 ? model : Bytes{};
  }

  // Status 0 with a similarity below acceptance, or a refusal.
  static void ExpectNoMatch(int status, float similarity, int refusal, int round) {
    if (status == 0) {
      EXPECT_LT(similarity, kAccept) << "round " << round;
    } else {
      EXPECT_EQ(status, refusal) << "round " << round;
    }
  }

  std::mt19937_64 rng_{20261210};
  std::vector<Bytes> models_, features_, stored_;
};

TEST_F(TemplateFuzz, NothingAcceptedMatchesAnotherFinger) {
  for (int round = 0; round < 3000; ++round) {
    const int owner = static_cast<int>(rng_() % kFingers);
    const int probe = (owner + 1 + static_cast<int>(rng_() % (kFingers - 1))) % kFingers;
    float similarity = -1.0f;
    switch (round % 3) {
      case 0: {  // a template against a probe of another finger
        const Bytes model = OutsideTemplate(owner);
        if (model.empty()) break;
        const int status = VLT_FV_MatchFeature(model.data(), features_[probe].data(), &similarity);
        ExpectNoMatch(status, similarity, 4002, round);
        break;
      }
      case 1: {  // a mutated or random probe against another finger's template
        Bytes feature = rng_() % 8 == 0 ? Random(kVltFeatureBytes) : features_[probe];
        Mutate(feature);
        const int status = VLT_FV_MatchFeature(models_[owner].data(), feature.data(), &similarity);
        ExpectNoMatch(status, similarity, 4003, round);
        break;
      }
      default: {  // one outside template among the genuine ones of every finger but the probe's
        const Bytes model = OutsideTemplate(owner);
        if (model.empty()) break;
        Bytes list;
        for (int i = 0; i < kFingers; ++i) {
          if (i != probe) list.insert(list.end(), models_[i].begin(), models_[i].end());
        }
        const std::size_t at = (rng_() % kFingers) * kVltModelBytes;
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), model.begin(), model.end());
        int count = kFingers, position = -1;
        const int status =
            VLT_FV_IndexFeature(list.data(), &count, features_[probe].data(), &position, &similarity);
        ExpectNoMatch(status, similarity, 4002, round);
      }
    }
    if (HasFailure()) return;  // one report is enough
  }
}

// The genuine pairs the loop starts from do match: the refusals are not a blanket no.
TEST_F(TemplateFuzz, GenuineInputsStillMatch) {
  for (int i = 0; i < kFingers; ++i) {
    float similarity = 0;
    ASSERT_EQ(VLT_FV_MatchFeature(models_[i].data(), features_[i].data(), &similarity), 0);
    EXPECT_GE(similarity, kAccept) << i;
    Bytes decoded(kVltModelBytes);
    ASSERT_EQ(VLT_FV_Decode(stored_[i].data(), kVltSerialisedBytes, decoded.data()), 0);
    ASSERT_EQ(VLT_FV_MatchFeature(decoded.data(), features_[i].data(), &similarity), 0);
    EXPECT_GE(similarity, kAccept) << i;
  }
}

}  // namespace
