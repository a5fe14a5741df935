#pragma once
// A quillet-tool command run in-process, its outputs caught; the tests' Qt application.

#include "../core/temp_dir.h"
#include "tool/tool.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <sstream>
#include <string>
#include <vector>

namespace quillet::testing {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun Tool(int (*command)(const std::vector<std::string>&, tool::Io),
                    std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = command(args, tool::Io{out, err});
    return {status, out.str(), err.str()};
}

// The commands paint with Qt Gui: one application for all the tests, and a folder each.
class ToolFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tool_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            static QApplication app(argc, argv);
        }
    }
    TempDir dir;
};

} // namespace quillet::testing
