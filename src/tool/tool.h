#pragma once
// quillet-tool: drawings checked, analysed, rendered and exported without the window. Every
// command shares the window's reader, canvas and fill replay.

#include "app/main_window.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace quillet::tool {

// Exit statuses: 0 success, 1 a file failed (check found a fault, a write failed), 2 bad usage.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct Io {
    std::ostream& out;
    std::ostream& err;
};

// A drawing loaded exactly as the window loads it (lines drawn, fills replayed), on a
// canvas of the window's size.
class LoadedDrawing {
  public:
    ~LoadedDrawing();
    frmMain& form() { return *form_; }
    const frmMain& form() const { return *form_; }

  private:
    friend std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string&, std::string&,
                                                      std::function<void(const frmMain&, int)>);
    LoadedDrawing();
    std::unique_ptr<Platform> platform_;
    std::unique_ptr<frmMain> form_;
};

// Nothing, with the reason in `error`, when the file cannot be opened. `replayed` sees the
// canvas once the lines are drawn (0) and after each fill is painted (its number).
std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string& path, std::string& error,
                                           std::function<void(const frmMain&, int)> replayed = {});

// Each command takes the arguments after its name.
int RunCheck(const std::vector<std::string>& args, Io io);
int RunInfo(const std::vector<std::string>& args, Io io);
int RunRender(const std::vector<std::string>& args, Io io);
int RunExport(const std::vector<std::string>& args, Io io);
int RunGenerate(const std::vector<std::string>& args, Io io);

// The decimal separator of the user's locale.
char LocaleDecimalSeparator();

} // namespace quillet::tool
