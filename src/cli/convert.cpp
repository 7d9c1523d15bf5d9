#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/kon_file.h"
#include "cli/output_naming.h"
#include "cli/report.h"
#include "io/output_file.h"
#include "io/platform.h"

namespace fs = std::filesystem;

namespace kon::cli {

namespace {

// More workers than this gain nothing on any machine kon runs on, and each
// holds a whole model.
constexpr unsigned kMaxJobs = 64;
// Finished outputs waiting for the device beside the conversions: the file
// system stores several synced files in one commit, so a batch of small
// files pays for the waits a few at a time instead of one after another.
constexpr unsigned kSyncingOutputs = 8;

struct Job {
    std::string input;
    const Format* format = nullptr;
    std::string output;
    std::string refusal;  // decided before any file is read
};

struct Outcome {
    bool ok = false;
    std::string messages;  // whole lines, shown together
};

// The right to convert: at most -j conversions read and write at once; a
// worker gives its turn back when its output only waits for the device.
class Turns {
  public:
    explicit Turns(std::size_t count) : free_(count) {}

    class Turn {
      public:
        explicit Turn(Turns& turns) : turns_(turns) { turns_.Take(); }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        ~Turn() { GiveBack(); }
        void GiveBack() {
            if (held_) turns_.Put();
            held_ = false;
        }

      private:
        Turns& turns_;
        bool held_ = true;
    };

  private:
    void Take() {
        std::unique_lock<std::mutex> guard(lock_);
        freed_.wait(guard, [this] { return free_ > 0; });
        --free_;
    }
    void Put() {
        {
            const std::lock_guard<std::mutex> guard(lock_);
            ++free_;
        }
        freed_.notify_one();
    }

    std::mutex lock_;
    std::condition_variable freed_;
    std::size_t free_;
};

// One key per file, so two spellings or two hard links of one file are seen
// as one: an existing file by its identity, a new one by its full name.
std::string FileKey(const std::string& path) {
    if (std::string identity = platform::FileIdentity(path); !identity.empty()) {
        return identity;
    }
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::path(path), ec);
    if (ec) key = fs::absolute(fs::path(path), ec).lexically_normal();
    return key.string();
}

Outcome ConvertOne(const Job& job, const ConvertOptions& options, const FormatRegistry& registry,
                   Turns& turns) {
    Turns::Turn turn(turns);
    Outcome outcome;
    if (!job.refusal.empty()) {
        outcome.messages = RenderError(job.input, job.refusal);
        return outcome;
    }
    KonModell model;
    const LoadResult loaded = LoadAnyInput(job.input, registry, options.reading, model);
    outcome.messages = RenderDiagnostics(job.input, loaded.diagnostics);
    if (!loaded.diagnostics.Ok()) return outcome;

    if (job.format->refuse) {
        if (std::optional<Diagnostic> why = job.format->refuse(model)) {
            why->explanation =
                "cannot be written as " + job.format->description + ": " + why->explanation;
            outcome.messages += RenderDiagnostic(job.input, *why);
            return outcome;
        }
    }
    std::error_code ec;
    if (!options.force && fs::exists(fs::symlink_status(job.output, ec))) {
        outcome.messages += RenderError(job.output, "exists; use --force to replace it");
        return outcome;
    }
    WriteReport report;
    const auto write = [&](std::ostream& out) {
        report = job.format->write(model, out, options.settings);
        // A writer that refuses writes nothing; the failed stream keeps the
        // old output and removes the temporary file.
        if (!report.error.empty()) out.setstate(std::ios::failbit);
        // The bytes are written; the sync that follows needs neither the
        // model nor a turn.
        model = KonModell{};
        turn.GiveBack();
    };
    const OutputResult result = WriteOutputFile(job.output, write, options.force);
    if (!report.error.empty()) {
        outcome.messages += RenderError(
            job.input, "cannot be written as " + job.format->description + ": " + report.error);
        return outcome;
    }
    switch (result) {
        case OutputResult::kWritten:
            outcome.ok = true;
            for (const std::string& warning : report.warnings) {
                outcome.messages += Printable(job.input + ": warning: " + warning) + "\n";
            }
            if (options.verbose)
                outcome.messages += Printable(job.input + " -> " + job.output) + "\n";
            break;
        case OutputResult::kOpenFailed:
            outcome.messages += RenderError(
                job.output,
                "cannot be created or replaced (not a writable file in a writable folder)");
            break;
        case OutputResult::kWriteFailed:
            outcome.messages +=
                RenderError(job.output, "could not be written completely; it was left as it was");
            break;
        case OutputResult::kNameTaken:
            outcome.messages += RenderError(job.output, "exists; use --force to replace it");
            break;
    }
    return outcome;
}

// A failure inside one conversion stays that conversion's.
Outcome ConvertGuarded(const Job& job, const ConvertOptions& options,
                       const FormatRegistry& registry, Turns& turns) {
    try {
        return ConvertOne(job, options, registry, turns);
    } catch (const std::bad_alloc&) {
        return {false, RenderError(job.input, "the model does not fit in memory")};
    } catch (const std::exception& e) {
        return {false, RenderError(job.input, e.what())};
    }
}

// Shows each conversion's lines whole and in the order of the inputs,
// whichever finishes first, and on a terminal the one-line progress display
// beneath them. Used under the caller's lock.
class Reporter {
  public:
    Reporter(std::ostream& err, std::size_t total, bool progress)
        : err_(err), total_(total), progress_(progress), finished_(total) {}

    void Done(std::size_t index, const Job& job, Outcome outcome) {
        ++done_;
        finished_[index] = std::move(outcome);
        ClearProgress();
        for (; shownUpTo_ < finished_.size() && finished_[shownUpTo_]; ++shownUpTo_) {
            err_ << finished_[shownUpTo_]->messages;
            finished_[shownUpTo_].reset();
        }
        if (progress_) {
            const std::string count = std::to_string(done_);
            const std::string width = std::to_string(total_);
            // Appended piece by piece: MinGW's g++ 12 misreads a chain of +
            // on strings as an overlapping copy (-Wrestrict).
            shown_.assign(1, '[');
            shown_.append(width.size() - count.size(), ' ').append(count).append(1, '/');
            shown_.append(width).append("] ").append(Printable(PathBaseName(job.input)));
            err_ << '\r' << shown_;
        }
        err_.flush();
    }
    void Finish() {
        ClearProgress();
        err_.flush();
    }

  private:
    void ClearProgress() {
        if (shown_.empty()) return;
        err_ << '\r' << std::string(shown_.size(), ' ') << '\r';
        shown_.clear();
    }

    std::ostream& err_;
    std::size_t total_;
    bool progress_;
    std::size_t done_ = 0;
    std::vector<std::optional<Outcome>> finished_;
    std::size_t shownUpTo_ = 0;
    std::string shown_;
};

}  // namespace

int RunConvert(const ConvertOptions& options, const FormatRegistry& registry, std::ostream& err) {
    std::optional<std::string> folder;
    std::error_code ec;
    if (options.output && fs::is_directory(fs::status(*options.output, ec))) {
        folder = options.output;
    } else if (options.output && options.files.size() > 1) {
        err << "kon convert: -o must name an existing folder when several files are converted\n";
        return kExitUsage;
    }

    // Every name is decided first, so two inputs with one output, or an
    // output that would replace an input of this run (read by another worker
    // at the same time), are refused before anything is written.
    std::unordered_map<std::string, std::size_t> inputs;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        inputs.emplace(FileKey(options.files[i]), i);
    }
    std::unordered_map<std::string, std::size_t> outputs;
    std::vector<Job> jobs(options.files.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Job& job = jobs[i];
        job.input = options.files[i];
        if (!options.to.empty()) job.format = registry.Find(options.to);
        if (job.format == nullptr && options.output && !folder) {
            std::string extension(1, '.');
            extension += PathExtension(*options.output);
            job.format = registry.ByExtension(extension, options.settings);
            // "-o model.off" asks for that format: a Kon file under its name
            // would only be taken for one.
            if (const Format* readOnly =
                    job.format == nullptr ? registry.Reader(extension) : nullptr) {
                err << "kon convert: " << readOnly->name
                    << " is only read, not written; name the output format with --to\n";
                return kExitUsage;
            }
        }
        if (job.format == nullptr) job.format = &DefaultFormat(job.input, registry);
        job.output = options.output && !folder
                         ? *options.output
                         : OutputName(job.input, *job.format, options.settings, folder);
        const std::string key = FileKey(job.output);
        if (const auto input = inputs.find(key); input != inputs.end()) {
            job.refusal =
                FileKey(job.input) == key
                    ? "the output " + job.output + " is the input itself; name another with -o"
                    : "the output " + job.output + " is also an input (" +
                          options.files[input->second] + "); convert them one at a time";
        } else if (const auto [first, added] = outputs.emplace(key, i); !added) {
            job.refusal = "the output " + job.output + " is also the output of " +
                          jobs[first->second].input + "; convert them one at a time";
        }
    }

    // An input that may be of another format makes the formats added later
    // ready now, on this thread: what loading them says comes before the
    // progress display and the first file's messages, not inside them.
    for (const Job& job : jobs) {
        const std::string extension = "." + AsciiLowerCopy(PathExtension(job.input));
        if (extension != ".kon" && extension != ".csv" &&
            extension != AsciiLowerCopy(options.settings.extension)) {
            registry.Reader(extension);
            break;
        }
    }

    const bool several = jobs.size() > 1;
    Reporter reporter(err, jobs.size(), several && platform::StandardErrorIsTerminal());
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    std::size_t converted = 0;
    std::size_t failed = 0;
    const std::size_t conversions =
        std::min<std::size_t>({options.jobs == 0 ? 1 : options.jobs, kMaxJobs, jobs.size()});
    Turns turns(conversions);
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            Outcome outcome = ConvertGuarded(jobs[i], options, registry, turns);
            const std::lock_guard<std::mutex> guard(lock);
            ++(outcome.ok ? converted : failed);
            reporter.Done(i, jobs[i], std::move(outcome));
        }
    };
    const std::size_t workers = std::min<std::size_t>(conversions + kSyncingOutputs, jobs.size());
    std::vector<std::thread> threads;
    if (workers > 1) {
        // This thread takes the signals and only waits meanwhile.
        const platform::WorkersLeaveSignalsAlone signalsHere;
        for (std::size_t k = 0; k < workers; ++k) {
            try {
                threads.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // fewer workers; the rest still gets done
            }
        }
    }
    if (threads.empty()) work();
    for (std::thread& t : threads) t.join();
    reporter.Finish();
    if (several) err << "converted " << converted << ", failed " << failed << '\n';
    return failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace kon::cli
