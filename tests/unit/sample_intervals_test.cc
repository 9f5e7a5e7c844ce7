#include "samples/sample_intervals.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "run_state.h"
#include "scratch_streams.h"

namespace {

bool fail_next_nothrow_array = false;

}  // namespace

// The sample list is the only array allocated without exceptions; a test can make its allocation fail once.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (fail_next_nothrow_array) {
    fail_next_nothrow_array = false;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

class SampleIntervals : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }
};

constexpr char select_line[] = "Select samplenumber:\n";
constexpr char default_kept[] =
    "Q.samples==0, using 0-1000000000\nSelect samplenumber:\n0 < samplenumber < 1000000000\n";

// count ranges "0-5,10-15,..." and the lines that print them.
std::string ranges(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    if (i != 0) list += ',';
    list.append(std::to_string(10 * i)).append("-").append(std::to_string(10 * i + 5));
  }
  return list;
}
std::string printed_ranges(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    lines += std::to_string(10 * i) + " < samplenumber < " + std::to_string(10 * i + 5) + "\n";
  }
  return lines;
}

struct intervals_case {
  const char* earlier;  // the list of an earlier -n, or nullptr
  std::string list;
  std::string printed;  // by the last -n only
  std::vector<std::int32_t> selected;
  std::vector<std::int32_t> not_selected;
};

TEST_F(SampleIntervals, ListIsParsedPrintedAndSelects) {
  const std::string only = "Only 1000 samples intervals\n";
  const intervals_case cases[] = {
      {nullptr,
       "10-20,30-40",
       std::string(select_line) + "10 < samplenumber < 20\n30 < samplenumber < 40\n",
       {11, 19, 31, 39},
       {10, 20, 25, 30, 40, -15}},
      {nullptr, "0-3", std::string(select_line) + "0 < samplenumber < 3\n", {1, 2}, {-1, 3}},
      {nullptr, "5-7", default_kept, {1, 6, 999999999}, {-1, 1000000000}},
      {nullptr, "1-2", default_kept, {1, 500}, {}},
      {nullptr,
       "5,10-20",
       std::string(select_line) + "5 < samplenumber < 20\n10 < samplenumber < 20\n",
       {6, 10, 19},
       {5, 20}},
      {nullptr,
       "10-20,x,30-40",
       std::string(select_line) + "10 < samplenumber < 20\n0 < samplenumber < 40\n30 < samplenumber < 40\n",
       {1, 25, 39},
       {40}},
      {nullptr, "100", default_kept, {100}, {}},
      {nullptr, "-5-10", default_kept, {7}, {}},
      {nullptr, "", default_kept, {1}, {}},
      {nullptr,
       " 10 - 20 ,\t30-\t40 ",
       std::string(select_line) + "10 < samplenumber < 20\n30 < samplenumber < 40\n",
       {15, 35},
       {25}},
      {nullptr,
       "4294967306-4294967316,2147483648-2147483658",
       std::string(select_line) + "10 < samplenumber < 20\n",
       {15},
       {25}},  // atol stored in 32 bits
      {nullptr, ranges(1000), only + select_line + printed_ranges(1000), {1, 9992}, {5, 10, 10002}},
      {nullptr, ranges(1001), only + select_line + printed_ranges(1000), {1, 9992}, {10002}},
      {"10-20,30-40",
       "5-7",
       "Q.samples==0, using 10-20\nSelect samplenumber:\n10 < samplenumber < 20\n",
       {15},
       {35, 500}},
      {"10-20,30-40", "50-60", std::string(select_line) + "50 < samplenumber < 60\n", {55}, {15, 35}},
  };
  for (const intervals_case& c : cases) {
    SCOPED_TRACE(std::string(c.earlier != nullptr ? c.earlier : "") + " then '" + c.list.substr(0, 40) + "'");
    reset_run_state();
    if (c.earlier != nullptr) capture_stdout([&] { parse_sample_intervals(c.earlier); });
    EXPECT_EQ(capture_stdout([&] { parse_sample_intervals(c.list.c_str()); }), c.printed);
    for (std::int32_t s : c.selected) EXPECT_TRUE(sample_selected(s)) << s;
    for (std::int32_t s : c.not_selected) EXPECT_FALSE(sample_selected(s)) << s;
    EXPECT_FALSE(sample_selected(0));
  }
}

// Without memory for the new list, the default interval is in force, not the list before it.
TEST_F(SampleIntervals, ListWithoutMemoryFallsBackToTheDefault) {
  capture_stdout([] { parse_sample_intervals("10-20"); });
  fail_next_nothrow_array = true;
  EXPECT_EQ(capture_stdout([] { parse_sample_intervals("30-40"); }),
            "Not alloc samples, using 0-1000000000\nSelect samplenumber:\n0 < samplenumber < 1000000000\n");
  EXPECT_FALSE(fail_next_nothrow_array);
  for (std::int32_t s : {1, 15, 35, 999999999}) EXPECT_TRUE(sample_selected(s)) << s;
}

TEST_F(SampleIntervals, DefaultSelectsPositiveNumbersBelowOneThousandMillion) {
  const std::int32_t cases[][2] = {{1, true},           {999999999, true},  {0, false},        {-1, false},
                                   {1000000000, false}, {INT32_MAX, false}, {INT32_MIN, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    EXPECT_EQ(sample_selected(c[0]), c[1] != 0);
  }
}

}  // namespace
