// Work on one picture shared by the cores it may use: a range cut into
// consecutive parts, each part done whole by one thread. What a part does
// never depends on which thread takes it or when, so that the results are
// the same on one core as on many.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

// The bounds of part `part` of `parts` near-equal consecutive parts of
// [0, count).
inline int64_t PartStart(int64_t count, int64_t parts, int64_t part) {
  return count / parts * part + std::min(part, count % parts);
}

// Calls work(part, begin, end) for each of `parts` consecutive parts of
// [0, count) (none when count is 0, at most count) on up to `threads` threads (the caller's among
// them), each taking the next part as it comes free; returns when all are done. An exception in a
// part is thrown again here once every thread has ended. One thread, or one part, runs on the
// caller's thread alone.
template <class Work>
void ForEachPart(int64_t count, int64_t parts, int threads, const Work& work) {
  if (count <= 0) return;
  parts = std::clamp<int64_t>(parts, 1, count);
  const int64_t helpers = std::min<int64_t>(threads, parts) - 1;
  std::atomic<int64_t> next{0};
  std::vector<std::exception_ptr> failed(static_cast<size_t>(helpers) + 1);
  const auto take = [&](size_t worker) {
    try {
      for (int64_t p = next++; p < parts; p = next++) {
        work(p, PartStart(count, parts, p), PartStart(count, parts, p + 1));
      }
    } catch (...) {
      failed[worker] = std::current_exception();
      next = parts;  // the others stop after their part
    }
  };
  std::vector<std::thread> pool;
  for (int64_t h = 0; h < helpers; ++h) {
    try {
      pool.emplace_back(take, static_cast<size_t>(h) + 1);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones there do the rest
    }
  }
  take(0);
  for (std::thread& t : pool) t.join();
  for (const std::exception_ptr& f : failed) {
    if (f) std::rethrow_exception(f);
  }
}

// The common case: as many parts as threads, one each.
template <class Work>
void ForEachSlice(int64_t count, int threads, const Work& work) {
  ForEachPart(count, threads, threads, work);
}

// What work(begin, end) gives for each slice, added up in the slices'
// order by add(sum, part), so that the sum is the same on any number of
// threads.
template <class T, class Work, class Add>
T SumOverSlices(int64_t count, int threads, const Work& work, const Add& add) {
  std::vector<T> parts(static_cast<size_t>(std::max(threads, 1)), T{});
  ForEachSlice(count, threads, [&](int64_t part, int64_t begin, int64_t end) {
    parts[static_cast<size_t>(part)] = work(begin, end);
  });
  T sum{};
  for (const T& part : parts) add(sum, part);
  return sum;
}

template <class T, class Work>
T SumOverSlices(int64_t count, int threads, const Work& work) {
  return SumOverSlices<T>(count, threads, work, [](T& sum, const T& part) { sum += part; });
}
