#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>
#include <unordered_map>

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

// One name per file, so two spellings of one output are seen as one.
std::string FileKey(const std::string& path) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::path(path), ec);
    if (ec) key = fs::absolute(fs::path(path), ec).lexically_normal();
    return key.string();
}

Outcome ConvertOne(const Job& job, const ConvertOptions& options, const FormatRegistry& registry) {
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
    };
    const OutputResult result = WriteOutputFile(job.output, write);
    if (!report.error.empty()) {
        outcome.messages += RenderError(
            job.input, "cannot be written as " + job.format->description + ": " + report.error);
        return outcome;
    }
    switch (result) {
        case OutputResult::kWritten:
            outcome.ok = true;
            for (const std::string& warning : report.warnings) {
                outcome.messages += job.input + ": warning: " + warning + "\n";
            }
            if (options.verbose) outcome.messages += job.input + " -> " + job.output + "\n";
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
    }
    return outcome;
}

// A failure inside one conversion stays that conversion's.
Outcome ConvertGuarded(const Job& job, const ConvertOptions& options,
                       const FormatRegistry& registry) {
    try {
        return ConvertOne(job, options, registry);
    } catch (const std::bad_alloc&) {
        return {false, RenderError(job.input, "the model does not fit in memory")};
    } catch (const std::exception& e) {
        return {false, RenderError(job.input, e.what())};
    }
}

// Shows each conversion's lines whole, and on a terminal the one-line
// progress display beneath them. Used under the caller's lock.
class Reporter {
  public:
    Reporter(std::ostream& err, std::size_t total, bool progress)
        : err_(err), total_(total), progress_(progress) {}

    void Done(const Job& job, const Outcome& outcome) {
        ++done_;
        ClearProgress();
        err_ << outcome.messages;
        if (progress_) {
            const std::string count = std::to_string(done_);
            const std::string width = std::to_string(total_);
            // Appended piece by piece: MinGW's g++ 12 misreads a chain of +
            // on strings as an overlapping copy (-Wrestrict).
            shown_.assign(1, '[');
            shown_.append(width.size() - count.size(), ' ').append(count).append(1, '/');
            shown_.append(width).append("] ").append(PathBaseName(job.input));
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

    const bool several = jobs.size() > 1;
    Reporter reporter(err, jobs.size(), several && platform::StandardErrorIsTerminal());
    std::mutex lock;
    std::atomic<std::size_t> next{0};
    std::size_t converted = 0;
    std::size_t failed = 0;
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            const Outcome outcome = ConvertGuarded(jobs[i], options, registry);
            const std::lock_guard<std::mutex> guard(lock);
            ++(outcome.ok ? converted : failed);
            reporter.Done(jobs[i], outcome);
        }
    };
    const std::size_t workers =
        std::min<std::size_t>({options.jobs == 0 ? 1 : options.jobs, kMaxJobs, jobs.size()});
    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < workers; ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer workers; the rest still gets done
        }
    }
    work();
    for (std::thread& t : threads) t.join();
    reporter.Finish();
    if (several) err << "converted " << converted << ", failed " << failed << '\n';
    return failed == 0 ? kExitOk : kExitFailed;
}

}  // namespace kon::cli
