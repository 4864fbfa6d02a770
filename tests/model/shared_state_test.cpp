// The parts of a channel record that the link and upload threads share with the user-interface thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "model/parameter.h"

TEST(SharedChannelState, ListAndTextsTakeConcurrentUse) {
  Parameter p;
  p.ParameterList.setChannelNumber(3);
  std::thread reader([&] {
    for (int i = 0; i < 20000; ++i) {
      const float v = p.ParameterList.item(i % 520);
      ASSERT_TRUE(v == v);  // never a torn or undefined value
      (void)p.controllerNumber.get();
      (void)p.loadingPhase.load();
    }
  });
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) {
      p.ParameterList.set(i % 130, static_cast<float>(i));
      if (i % 100 == 0) {
        p.ParameterList.assign(std::vector<float>(514, 1.0f));
        p.ParameterList.extendWithDefaults();
      }
      p.controllerNumber = std::to_string(i);
      std::lock_guard<std::mutex> g(p.loadLock);
      p.loadingPhase = i % 7;
      p.controlLoad = static_cast<float>(i);
    }
  });
  for (int i = 0; i < 2000; ++i) {
    if (i % 250 == 0) p.ParameterList.clear();
    (void)p.ParameterList.snapshot();
  }
  reader.join();
  writer.join();
  EXPECT_GE(p.ParameterList.count(), 0);
}

TEST(SharedChannelState, ItemsBeyondTheListGiveTheirDefaults) {
  ParameterList l;
  l.setChannelNumber(2);
  EXPECT_EQ(l.item(14), 1000.0f);
  EXPECT_EQ(l.item(83), 2.0f);
  EXPECT_EQ(l.item(200), 1.0f);
  EXPECT_EQ(l.item(-1), 0.0f);
  EXPECT_EQ(l.item(515), 0.0f);
  l.append(5.0f);
  l.set(20, 7.0f);  // extends with defaults up to item 20
  EXPECT_EQ(l.count(), 21);
  EXPECT_EQ(l.item(0), 5.0f);
  EXPECT_EQ(l.item(18), 1.8f);
  EXPECT_EQ(l.item(20), 7.0f);
  l.set(-3, 9.0f);
  EXPECT_EQ(l.count(), 21);
  l.extendWithDefaults();
  EXPECT_EQ(l.count(), ParameterList::kDefaultCount);
  EXPECT_EQ(l.item(101), 200.0f);
}
