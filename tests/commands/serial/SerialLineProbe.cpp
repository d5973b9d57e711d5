// The serial line on the port its first argument names, with a stand-in for the
// window's thread, for serial_line_test.py: what the owner is told goes to stdout;
// "close" on stdin closes the line and reports how long that took.
#include "SerialLine.h"
#include "StandInWindow.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace {

// The one value the stand-in refuses, as the window refuses what its controls cannot take.
constexpr uint32_t RefusedPty = 31;

std::mutex printing;

void Print(const std::string& line) {
    std::lock_guard<std::mutex> guard(printing);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// Refuses PTY RefusedPty, as the window refuses a value out of range.
std::optional<std::string> RefusePty(const TCommand& command) {
    if (command.Name == TCommandName::Pty && command.Value == RefusedPty) return RefusedReply("refused");
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: serial_line_probe SETTING RETRY_MS\n", stderr);
        return 2;
    }
    TCommandQueue queue;
    TStandInWindow window(queue, RefusePty);
    TStatus status;
    status.ProgramService = "SONDEL  ";
    status.Pty = 10;
    window.SetStatus(status);
    std::mutex lock;
    TUecpAddressLists addresses;
    TSerialLine::TOwner owner;
    owner.Uecp.ChangeAddresses = [&](const TUecpOwner::TAddressChange& change) {
        std::lock_guard<std::mutex> guard(lock);
        const TUecpAddressLists before = addresses;
        change(addresses);
        if (addresses.Sites != before.Sites || addresses.Encoders != before.Encoders)
            Print("addresses " + FormatUecpSites(addresses.Sites) + " " + FormatUecpEncoders(addresses.Encoders));
    };
    owner.Report = [](const std::string& text, bool) { Print("report " + text); };
    TSerialLine line(queue, owner, std::chrono::milliseconds(std::stoi(argv[2])));
    // Before opening: the worker's first report may come at once.
    Print("started");
    try {
        line.Open(argv[1]);
    } catch (const Exception& error) {
        Print("refused " + error.Message());
        return 1;
    }
    std::string command;
    while (std::getline(std::cin, command) && command != "close") {
    }
    const auto start = std::chrono::steady_clock::now();
    line.Close();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    Print("closed " + std::to_string(took.count()));
    return 0;
}
