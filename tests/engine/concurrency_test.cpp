#include <thread>

#include "test_support.h"

namespace vel::test {
namespace {

// One manager per thread, decoding concurrently: every thread must see exactly
// the text a single thread sees.
TEST(Concurrency, ManagersOnSeveralThreadsDecodeIndependently) {
  const std::vector<Bytes> frames = {
      Hex("001122334455 665544332211 1234 00"),
      Hex("01000ccccccc 001122334455 0026 aaaa03 00000c 2000 0102"),
      Hex("000000000002 000000000001 0800 4500001c000100004011f97c7f0000017f000001 04d20035000800 00"),
  };
  std::vector<std::string> expected;
  {
    auto manager = MakeManager();
    for (const Bytes& f : frames) expected.push_back(TextOf(Decode(manager.get(), f).get()));
  }
  constexpr int kThreads = 4, kRounds = 200;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto manager = MakeManager();
      for (int round = 0; round < kRounds; ++round)
        for (size_t i = 0; i < frames.size(); ++i)
          if (TextOf(Decode(manager.get(), frames[i]).get()) != expected[i]) ++mismatches[t];
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
}  // namespace vel::test
