// Real-window tests: a shell helper and a test environment that gives the
// program an X server (a virtual one, Xvfb, when no display is set) and one
// font sandbox for its whole run (GTK keeps the font configuration it first
// sees).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/Sandbox.h"

namespace TestSupport {

// Runs Command through the shell and returns what it printed.
std::string Shell(const std::string& Command);
// True when the shell finds Tool.
bool HaveTool(const char* Tool);

class TXServer : public ::testing::Environment {
public:
    // Fonts: families installed in the sandbox. Displays from FirstDisplay
    // on are tried, so that programs running at once pick different ones.
    TXServer(std::vector<std::string> Fonts, int FirstDisplay);
    void SetUp() override;
    void TearDown() override;

private:
    std::vector<std::string> FFonts;
    int FFirstDisplay;
    std::optional<int> FPid;
    std::optional<TSandbox> FBox;
};

}  // namespace TestSupport
