// The command-line vectorizer: pictures of any common format, their ink
// decided by a threshold, thinned to centreline strokes and simplified by
// the window program's simplifier (or, with --single-line, exactly the
// window program's "Licz" on a BMP), written as SVG, DXF, CSV or JSON;
// several pictures at once, the results told in the input order.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/messages.h"
#include "cli/options.h"
#include "cli/picture_job.h"
#include "document/app_state.h"

namespace {

// The batch: workers take the next picture; the results are told in the
// input order as soon as all before them are done.
class Batch {
 public:
  Batch(const Options& options, bool progress)
      : options_(options),
        results_(options.files.size()),
        done_(options.files.size()),
        progress_(progress) {}

  int Run(int jobs) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Tell();  // the progress line from the start
    }
    std::vector<std::thread> workers;
    for (int j = 1; j < jobs; ++j) workers.emplace_back([this] { Work(); });
    Work();
    for (std::thread& worker : workers) worker.join();
    return status_;
  }

 private:
  void Work() {
    for (size_t i = next_++; i < results_.size(); i = next_++) {
      PictureResult result = ProcessPicture(options_, options_.files[i]);
      std::lock_guard<std::mutex> lock(mutex_);
      results_[i] = std::move(result);
      done_[i] = true;
      Tell();
    }
  }

  // With the lock held: prints every result whose turn has come.
  void Tell() {
    while (told_ < results_.size() && done_[told_]) {
      if (progress_) std::fputs("\r\033[K", stderr);
      const PictureResult& r = results_[told_];
      if (!r.complaints.empty()) status_ = kExitRefused;
      for (const std::string& complaint : r.complaints)
        std::fprintf(stderr, "%s\n", complaint.c_str());
      if (!r.line.empty() && !options_.quiet) std::printf("%s\n", r.line.c_str());
      std::fflush(stdout);
      results_[told_] = {};
      ++told_;
    }
    if (progress_ && told_ < results_.size()) {
      std::fprintf(stderr, "\r[%zu/%zu] %s\033[K", told_ + 1, results_.size(),
                   options_.files[told_].c_str());
      std::fflush(stderr);
    }
  }

  const Options& options_;
  std::vector<PictureResult> results_;
  std::vector<bool> done_;
  bool progress_;
  std::atomic<size_t> next_{0};
  std::mutex mutex_;
  size_t told_ = 0;
  int status_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  // Blocks of a quarter of a megabyte and more come straight from the
  // system and go back to it when freed. By default glibc raises that
  // threshold after each such free, keeping the next stage's arrays in
  // its heap: a picture's stages would then hold the memory of all before.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  InitMessages();
  Options options;
  const int parsed = ParseOptions(argc, argv, options);
  if (parsed >= 0) return parsed;
  if (!options.output.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.output, error);
    if (!std::filesystem::is_directory(options.output)) {
      return UsageError(std::string(Tr("Cannot make the folder: ")) + options.output);
    }
  }
  FindClashingNames(options);
  const size_t total = options.files.size();
  // The single-line mode works on the window program's one document.
  const int cores = options.jobs > 0
                        ? options.jobs
                        : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int jobs = options.singleLine
                       ? 1
                       : static_cast<int>(std::min<size_t>(static_cast<size_t>(cores), total));
  // With fewer pictures than cores, each picture's stages share the rest.
  options.threads = std::max(1, cores / std::max(jobs, 1));
  options.ink.threads = options.threads;
  const bool terminal = isatty(STDERR_FILENO);
  options.tellStages = terminal && total == 1;
  const int status = Batch(options, terminal && total >= 20).Run(jobs);
  if (terminal && total >= 20) std::fputs("\r\033[K", stderr);
  ResetDocument();
  return status;
}
