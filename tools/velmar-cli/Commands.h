#pragma once

// velmar-cli: the headless runner (run, bench, check, cpm) that drives the machine without a
// window, on the null platform services and the FFmpeg AVI writer.

namespace velmar::cli {

// Each command gets the arguments after its name and returns the process exit code.
int RunCpm(int argc, char** argv);
int RunRun(int argc, char** argv);
int RunBench(int argc, char** argv);
int RunCheck(int argc, char** argv);

} // namespace velmar::cli
