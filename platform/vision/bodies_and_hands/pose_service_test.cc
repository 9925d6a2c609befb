// The body and hand service on committed photos with the real models (fetched by
// scripts/setup.sh).
#include "platform/vision/bodies_and_hands/pose_service.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/media/still_image.h"
#include "platform/vision/test_threads.h"

namespace platform::vision {
namespace {

media::Image fixture(const std::string& name) {
  Result<media::Image> image = media::decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/pose/" + name);
  EXPECT_TRUE(image.ok()) << name;
  return image.ok() ? std::move(image.value()) : media::Image{};
}

struct Found {
  std::vector<std::vector<BodyObservation>> bodies;
  std::vector<std::vector<HandObservation>> hands;
};

// Bodies and hands (two at most) of every picture, in the order given by `order`.
Found findAll(const std::vector<media::Image>& pictures, const std::vector<size_t>& order) {
  Found found{std::vector<std::vector<BodyObservation>>(pictures.size()),
              std::vector<std::vector<HandObservation>>(pictures.size())};
  for (const size_t i : order) {
    Result<std::vector<BodyObservation>> bodies = detectBodies(pictures[i].view());
    Result<std::vector<HandObservation>> hands = detectHands(pictures[i].view(), 2);
    EXPECT_TRUE(bodies.ok() && hands.ok());
    if (bodies.ok()) found.bodies[i] = bodies.value();
    if (hands.ok()) found.hands[i] = hands.value();
  }
  return found;
}

TEST(PoseService, FindsThePeopleAndHandsOfTheFixtures) {
  const struct {
    const char* name;
    size_t bodies;
    size_t hands;  // of two at most
  } cases[] = {{"one_person.jpg", 1, 0}, {"two_people.jpg", 2, 0}, {"open_hand.jpg", 0, 1}, {"no_person.jpg", 0, 0}};
  for (const auto& c : cases) {
    const Found found = findAll({fixture(c.name)}, {0});
    EXPECT_EQ(found.bodies[0].size(), c.bodies) << c.name;
    EXPECT_EQ(found.hands[0].size(), c.hands) << c.name;
  }
}

// Both threads go through the pictures at the same time, in opposite orders, and must find
// exactly what one thread alone finds.
TEST(PoseService, TwoThreadsAtOnceFindWhatOneThreadFinds) {
  const std::vector<media::Image> pictures = {fixture("two_people.jpg"), fixture("person_hand_raised.jpg"),
                                              fixture("three_hands.jpg")};
  const Found alone = findAll(pictures, {0, 1, 2});
  const auto together = testing::onTwoThreadsAtOnce([&](int thread) {
    return findAll(pictures, thread == 0 ? std::vector<size_t>{0, 1, 2} : std::vector<size_t>{2, 1, 0});
  });
  for (int thread = 0; thread < 2; ++thread) {
    EXPECT_TRUE(together[thread].bodies == alone.bodies) << "bodies on thread " << thread;
    EXPECT_TRUE(together[thread].hands == alone.hands) << "hands on thread " << thread;
  }
  EXPECT_EQ(alone.bodies[0].size(), 2u);
  EXPECT_EQ(alone.hands[2].size(), 2u);
}

TEST(PoseService, PicturesWithoutPixelsAreRefusedAsTheServicesOwnFailure) {
  const media::Image picture = fixture("one_person.jpg");
  media::ImageView shortRows = picture.view();
  shortRows.bytesPerRow = picture.width;
  for (const media::ImageView& view : {media::ImageView{}, shortRows}) {
    const Result<std::vector<BodyObservation>> bodies = detectBodies(view);
    const Result<std::vector<HandObservation>> hands = detectHands(view, 2);
    ASSERT_FALSE(bodies.ok() || hands.ok());
    for (const Error& error : {bodies.error(), hands.error()}) {
      EXPECT_EQ(error.domain, kBodiesAndHandsDomain);
      EXPECT_EQ(error.code, static_cast<int64_t>(PoseError::noPixels));
    }
  }
  // Asked for no hands, there is nothing to fail.
  const Result<std::vector<HandObservation>> none = detectHands(media::ImageView{}, 0);
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none.value().empty());
}

}  // namespace
}  // namespace platform::vision
