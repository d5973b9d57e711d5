// A start given commands on its command line: handed to the copy already running,
// or applied by this copy's own window once its restore has run.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TfoMain;
class TReplyOutput;
class TSingleInstance;

// The pipe the running copy serves for later starts.
extern const char* const CommandLinePipe;

// A later start: hands Arguments to the running copy (only to a pipe that the process of
// the window Instance finds serves) and writes the replies to Output together; the exit
// status the replies make. Touches neither the card nor a setting.
int HandOverCommandLine(const TSingleInstance& instance, const std::vector<std::string>& arguments,
                        TReplyOutput& output);

// The first start: Form serves the pipe once its commands start, and applies this
// start's own Arguments then, their replies written to Output together.
void ServeCommandLine(TfoMain& form, const std::vector<std::string>& arguments,
                      const std::shared_ptr<TReplyOutput>& output);
