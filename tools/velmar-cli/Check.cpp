#include "CheckFile.h"
#include "CheckRun.h"
#include "Commands.h"
#include "Output.h"
#include "Outputs.h"

#include "core/util/StagedFile.h"

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>

namespace velmar::cli {

namespace {

namespace fs = std::filesystem;

int Usage(const std::string& why) {
    std::fprintf(stderr,
                 "velmar-cli: %s\nusage: velmar-cli check FILE.toml [--update] [--junit "
                 "REPORT.xml] [--only NAME]\n",
                 why.c_str());
    return 2;
}

// Text for XML: the five special characters as entities; characters XML 1.0 cannot hold
// become '?'.
std::string Xml(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            out += static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r'
                       ? '?'
                       : ch;
        }
    }
    return out;
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

struct Ran {
    const CheckCase* Case;
    CaseOutcome Outcome;
};

// A JUnit report: one suite (the file), one test case per case, a failure element naming
// every checkpoint that failed.
std::string JunitReport(const fs::path& file, const std::vector<Ran>& ran) {
    std::size_t failed = 0;
    double total = 0;
    for (const Ran& r : ran) {
        failed += r.Outcome.Failures.empty() ? 0 : 1;
        total += r.Outcome.Seconds;
    }
    const std::string counts = " tests=\"" + std::to_string(ran.size()) + "\" failures=\"" +
                               std::to_string(failed) + "\" errors=\"0\" skipped=\"0\" time=\"" +
                               Seconds(total) + "\"";
    const std::string suite = Xml(file.filename().string());
    const std::string classname = Xml(file.stem().string());
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"velmar-cli "
                      "check\"" +
                      counts + ">\n  <testsuite name=\"" + suite + "\"" + counts + ">\n";
    for (const Ran& r : ran) {
        xml += "    <testcase name=\"" + Xml(r.Case->Name) + "\" classname=\"" + classname +
               "\" time=\"" + Seconds(r.Outcome.Seconds) + "\"";
        if (r.Outcome.Failures.empty()) {
            xml += "/>\n";
            continue;
        }
        std::string all;
        for (const std::string& f : r.Outcome.Failures) all += f + "\n";
        xml += ">\n      <failure message=\"" + Xml(r.Outcome.Failures.front()) + "\">" + Xml(all) +
               "</failure>\n    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

} // namespace

int RunCheck(int argc, char** argv) {
    std::string fileName, junit, only;
    bool update = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--update") {
            update = true;
        } else if (arg == "--junit" || arg == "--only") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return Usage(std::string(arg) + " needs a value");
            (arg == "--junit" ? junit : only) = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option '" + std::string(arg) + "'");
        } else if (!fileName.empty()) {
            return Usage("more than one test file given");
        } else {
            fileName = arg;
        }
    }
    if (fileName.empty()) return Usage("no test file given");

    CheckFile file;
    if (Result read = ReadCheckFile(fileName, file); !read) return Usage(read.error);
    std::vector<const CheckCase*> cases;
    for (const CheckCase& c : file.Cases)
        if (only.empty() || c.Name == only) cases.push_back(&c);
    if (cases.empty()) return Usage("no case is named '" + only + "'");
    // The report is checked before anything runs; the pictures of failures go beside it.
    if (!junit.empty())
        if (Result usable = CheckTarget(junit); !usable) return Usage("--junit: " + usable.error);
    fs::path outFolder = fs::path(junit.empty() ? fileName : junit).parent_path();

    std::vector<PendingFile> pending;
    std::vector<std::pair<const Checkpoint*, std::string>> hashes;
    std::vector<Ran> ran;
    std::size_t failed = 0;
    for (const CheckCase* c : cases) {
        ran.push_back({c, RunCase(*c, update, outFolder, pending, hashes)});
        const CaseOutcome& o = ran.back().Outcome;
        std::string line;
        if (o.Failures.empty()) {
            line = "ok   " + c->Name;
            if (!o.Updated.empty()) {
                line += " (updated:";
                for (std::size_t i = 0; i < o.Updated.size(); ++i)
                    line += (i == 0 ? " " : "; ") + o.Updated[i];
                line += ")";
            }
        } else {
            ++failed;
            line = "FAIL " + c->Name + ": " + o.Failures.front();
            if (o.Failures.size() > 1)
                line += " (and " + std::to_string(o.Failures.size() - 1) + " more)";
        }
        if (!WriteStdout(line + "\n")) return StdoutFailed(errno);
    }

    // Every file is completed first and put in place only when all of them are.
    if (!hashes.empty()) {
        const std::string text = ReplaceHashes(file, hashes);
        pending.push_back({file.Path, {text.begin(), text.end()}});
    }
    if (!junit.empty()) {
        const std::string xml = JunitReport(file.Path, ran);
        pending.push_back({junit, {xml.begin(), xml.end()}});
    }
    std::deque<StagedFile> staged;
    RunOutputs outputs;
    std::string problem;
    for (const PendingFile& p : pending) {
        StagedFile& s = staged.emplace_back();
        outputs.Add("check", p.Path.string(), [&s] { return s.Commit(); });
    }
    problem = outputs.Check();
    for (std::size_t i = 0; i < pending.size() && problem.empty(); ++i) {
        Result r = staged[i].Open(pending[i].Path);
        if (r) r = staged[i].Write(pending[i].Bytes);
        if (r) r = staged[i].Finish();
        if (!r) problem = r.error;
    }
    if (problem.empty())
        if (Result committed = outputs.CommitAll(); !committed) problem = committed.error;
    if (!problem.empty()) {
        for (StagedFile& s : staged) s.Abort();
        std::fprintf(stderr, "velmar-cli: cannot write the check's files: %s\n", problem.c_str());
    }
    const std::string closing =
        std::to_string(ran.size() - failed) + " passed, " + std::to_string(failed) + " failed\n";
    if (!WriteStdout(closing)) return StdoutFailed(errno);
    if (const int flushed = FinishStdout(); flushed != 0) return flushed;
    return failed == 0 && problem.empty() ? 0 : 1;
}

} // namespace velmar::cli
