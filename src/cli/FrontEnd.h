// kelvor-cli's light front end: the verbs that read only the files' AVI and DV structure run in a
// process that never loads the codec libraries nor Qt Gui; every other verb runs in
// kelvor-cli-media, which the front end becomes (exec, same arguments), so behaviour, texts and
// exit statuses are those of one program.
//
// Threads: the main thread only, before any other thread starts.
#pragma once

#include <string>
#include <vector>

namespace kelvor::cli {

// Replaces this process by kelvor-cli-media with the arguments main received; returns only
// when that program cannot be started, after saying why on stderr, with the exit status to end
// on.
[[noreturn]] void RunMediaProgram();
// The same with these arguments after the program's name instead of main's.
[[noreturn]] void RunMediaProgram(const std::vector<std::string>& arguments);

}  // namespace kelvor::cli
