#pragma once

#include <string>
#include <vector>

namespace trawlmeter {

// The program's arguments after its name, as UTF-8 text. Windows hands main() its arguments in
// the ANSI code page, where a Chinese file name may not even exist; there they are read from
// the wide command line instead.
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace trawlmeter
