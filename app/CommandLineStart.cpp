// The command line's two roads: to the running copy through its pipe, or into this
// copy's own command queue.
#include "CommandLineStart.h"

#include "CommandLine.h"
#include "CommandPipe.h"
#include "Instance.h"
#include "unMain.h"

const char* const CommandLinePipe = "\\\\.\\pipe\\SondelUltraCardControl.Commands";

int HandOverCommandLine(const TSingleInstance& instance, const std::vector<std::string>& arguments,
                        TReplyOutput& output) {
    const int status = HandOverToRunningCopy(
        CommandLinePipe, arguments, [&output](const std::string& reply) { output.AddLine(reply); },
        CommandLineReplyLimit, [&instance] { return instance.FindRunningProcess(); });
    output.Write();
    return status;
}

void ServeCommandLine(TfoMain& form, const std::vector<std::string>& arguments,
                      const std::shared_ptr<TReplyOutput>& output) {
    form.SetCommandPipeName(CommandLinePipe);
    // The output lives as long as the worker that writes to it; the replies go out
    // together once the last one is in.
    form.QueueStartCommands(
        arguments, [output](const std::string& reply) { output->AddLine(reply); }, [output] { output->Write(); });
}
