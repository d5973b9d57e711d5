// The command line's two roads: to the running copy through its pipe, or into this
// copy's own command queue.
#include "CommandLineStart.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "Instance.h"
#include "unMain.h"

#include <memory>

const char* const CommandLinePipe = "\\\\.\\pipe\\SondelUltraCardControl.Commands";

int HandOverCommandLine(const TSingleInstance& instance, const std::vector<std::string>& arguments) {
    TReplyOutput output;
    return HandOverToRunningCopy(
        CommandLinePipe, arguments, [&output](const std::string& reply) { output.WriteLine(reply); },
        CommandLineReplyLimit, [&instance] { return instance.FindRunningProcess(); });
}

void ServeCommandLine(TfoMain& form, const std::vector<std::string>& arguments) {
    form.SetCommandPipeName(CommandLinePipe);
    // The output lives as long as the worker that writes to it.
    auto output = std::make_shared<TReplyOutput>();
    // Attached to a console only while the replies are written.
    form.QueueStartCommands(
        arguments, [output](const std::string& reply) { output->WriteLine(reply); }, [output] { output->Detach(); });
}
