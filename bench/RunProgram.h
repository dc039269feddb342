#pragma once
// Runs a program as a whole process for the benchmarks that time one: started,
// run to its end and waited for, its standard output thrown away.

#include <string>
#include <vector>

namespace bench {

// Runs `program` (a path) with the arguments; true when it exits with status
// `expected` (0 unless said). `cpuSeconds`, when given, receives the process's
// CPU time (user and system).
bool RunProgram(const std::string& program, std::vector<std::string> arguments, double* cpuSeconds = nullptr,
                int expected = 0);

}  // namespace bench
