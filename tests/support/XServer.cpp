#include "tests/support/XServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/os/SysRoot.h"
#include "tests/support/Command.h"

namespace TestSupport {

using namespace std::chrono_literals;

std::string Shell(const std::string& Command) {
    try {
        return RunCommand(Command).Output;
    } catch (const std::runtime_error&) {
        return {};
    }
}

bool HaveTool(const char* Tool) { return !Shell(std::string("command -v ") + Tool + " 2>/dev/null").empty(); }

TXServer::TXServer(std::vector<std::string> Fonts, int FirstDisplay)
    : FFonts(std::move(Fonts)), FFirstDisplay(FirstDisplay) {}

void TXServer::SetUp() {
    FBox.emplace();
    for (const auto& Family : FFonts) FBox->InstallFont(Family);
    Os::PrepareFontConfiguration();
    const char* Display = std::getenv("DISPLAY");
    if ((Display && *Display) || !HaveTool("Xvfb")) return;
    namespace fs = std::filesystem;
    for (int N = FFirstDisplay; N < FFirstDisplay + 50; ++N) {
        const std::string Socket = "/tmp/.X11-unix/X" + std::to_string(N);
        if (fs::exists(Socket) || fs::exists("/tmp/.X" + std::to_string(N) + "-lock")) continue;
        const std::string Pid =
            Shell("Xvfb :" + std::to_string(N) + " -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & echo $!");
        for (int I = 0; I < 100 && !fs::exists(Socket); ++I) std::this_thread::sleep_for(50ms);
        if (!fs::exists(Socket)) {
            Shell("kill " + Pid);
            continue;
        }
        FPid = std::stoi(Pid);
        const std::string Display = ":" + std::to_string(N);
        ::setenv("DISPLAY", Display.c_str(), 1);
        return;
    }
}

void TXServer::TearDown() {
    if (FPid) Shell("kill " + std::to_string(*FPid));
    FBox.reset();
}

}  // namespace TestSupport
