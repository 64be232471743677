// Pieces formatted on many threads reach their units in piece order, byte
// for byte as when formatted one after another; a failure stops the writing
// at the earliest failing piece and is the one reported.

#include "job/ordered_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "format/run_error.h"

namespace locprox {
namespace {

// Piece i: (i % 7 + 1) records naming it, to the first unit when i is even
// and to the second when odd; some pieces take longer than others, so that
// they are finished out of order.
struct Pieces {
  OutputUnit& even;
  OutputUnit& odd;
  std::vector<int> delays;
  OutputUnit& operator()(std::size_t piece, OutputUnit& text) {
    std::this_thread::sleep_for(std::chrono::microseconds(delays[piece % delays.size()]));
    for (std::size_t r = 0; r <= piece % 7; ++r) {
      text.append("piece " + std::to_string(piece) + " record " + std::to_string(r));
      text.end_record();
    }
    return piece % 2 == 0 ? even : odd;
  }
};

std::vector<int> random_delays(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> delay(0, 300);
  std::vector<int> delays(37);
  for (int& d : delays) d = delay(rng);
  return delays;
}

TEST(OrderedOutput, WritesThePiecesInOrderForEveryNumberOfThreads) {
  OutputUnit want_even(OutputUnit::InMemory{}), want_odd(OutputUnit::InMemory{});
  Pieces one_by_one{want_even, want_odd, {0}};
  for (std::size_t piece = 0; piece < 200; ++piece) {
    OutputUnit text(OutputUnit::InMemory{});
    one_by_one(piece, text).write_text(text.text());
  }
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    WorkerPool pool(threads);
    OrderedOutput output(pool);
    OutputUnit even(OutputUnit::InMemory{}), odd(OutputUnit::InMemory{});
    Pieces pieces{even, odd, random_delays(threads)};
    // Two batches in a row: the second continues the same units.
    output.run(120, pieces);
    Pieces rest{even, odd, pieces.delays};
    auto later = [&](std::size_t piece, OutputUnit& text) -> OutputUnit& {
      return rest(piece + 120, text);
    };
    output.run(80, later);
    EXPECT_EQ(even.text(), want_even.text()) << threads << " threads";
    EXPECT_EQ(odd.text(), want_odd.text()) << threads << " threads";
  }
}

TEST(OrderedOutput, StartsABatchWhileTheCallerWorks) {
  for (const unsigned threads : {1u, 2u, 4u}) {
    WorkerPool pool(threads);
    OrderedOutput output(pool);
    OutputUnit even(OutputUnit::InMemory{}), odd(OutputUnit::InMemory{});
    Pieces pieces{even, odd, random_delays(99)};
    output.start(50, pieces);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the caller's own work
    output.wait();
    OutputUnit want_even(OutputUnit::InMemory{}), want_odd(OutputUnit::InMemory{});
    Pieces one_by_one{want_even, want_odd, {0}};
    for (std::size_t piece = 0; piece < 50; ++piece) {
      OutputUnit text(OutputUnit::InMemory{});
      one_by_one(piece, text).write_text(text.text());
    }
    EXPECT_EQ(even.text(), want_even.text());
    EXPECT_EQ(odd.text(), want_odd.text());
  }
}

TEST(OrderedOutput, StopsAtTheEarliestPieceThatCannotBeFormatted) {
  for (const unsigned threads : {1u, 2u, 8u}) {
    WorkerPool pool(threads);
    OrderedOutput output(pool);
    OutputUnit out(OutputUnit::InMemory{});
    const std::vector<int> delays = random_delays(threads + 5);
    auto format = [&](std::size_t piece, OutputUnit& text) -> OutputUnit& {
      std::this_thread::sleep_for(std::chrono::microseconds(delays[piece % delays.size()]));
      if (piece == 31 || piece == 64) throw std::runtime_error("piece " + std::to_string(piece));
      text.append(std::to_string(piece));
      text.end_record();
      return out;
    };
    try {
      output.run(100, format);
      FAIL() << "no failure reported";
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), "piece 31");
    }
    std::string want;
    for (int piece = 0; piece < 31; ++piece) want += std::to_string(piece) + "\r\n";
    EXPECT_EQ(out.text(), want) << threads << " threads";
  }
}

TEST(OrderedOutput, StopsAtTheFirstPieceThatCannotBeWritten) {
  WorkerPool pool(3);
  OrderedOutput output(pool);
  OutputUnit good(OutputUnit::InMemory{});
  // Never opened, and flushed after every record: its first write fails.
  OutputUnit broken(23, "TRIAL.PRX", OutputUnit::Style::kFile, true);
  auto format = [&](std::size_t piece, OutputUnit& text) -> OutputUnit& {
    text.append(std::to_string(piece));
    text.end_record();
    return piece < 10 ? good : broken;
  };
  EXPECT_THROW(output.run(40, format), RunError);
  std::string want;
  for (int piece = 0; piece < 10; ++piece) want += std::to_string(piece) + "\r\n";
  EXPECT_EQ(good.text(), want);
  // The next batch starts afresh.
  auto fine = [&](std::size_t piece, OutputUnit& text) -> OutputUnit& {
    text.append("again " + std::to_string(piece));
    text.end_record();
    return good;
  };
  EXPECT_NO_THROW(output.run(2, fine));
  EXPECT_EQ(good.text(), want + "again 0\r\nagain 1\r\n");
}

}  // namespace
}  // namespace locprox
