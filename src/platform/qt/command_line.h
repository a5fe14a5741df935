#pragma once
// The program as a terminal meets it: --help and --version, one clear line instead of an abort
// when no window can be shown, Qt's own translations for the user's locale, and a line on
// stderr for a project named on the command line that is not opened.

#include "platform/qt/qt_platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QLocale;
class QTranslator;

namespace quillet {

enum class InfoRequest { None, Help, Version };

// The first of --help and --version among the arguments. Neither ends in ".qlf", so taking
// them out of the argument text can never keep a project from opening.
InfoRequest FindInfoRequest(int argc, const char* const* argv);
std::string HelpText();
std::string VersionText(std::string_view version);

// One environment variable; empty when it is not set.
using EnvLookup = std::function<std::string(const char* name)>;
std::string EnvironmentVariable(const char* name);

// Whether the X display answers; `display` as DISPLAY spells it.
using DisplayProbe = std::function<bool(const std::string& display)>;
// Connects to the X display with libxcb, as Qt's xcb plugin will, and hangs up again. True
// as well when libxcb cannot be loaded: then Qt's xcb plugin cannot either, and the guard
// below reports that.
bool XDisplayAnswers(const std::string& display);

// The folder Qt loads its platform plugins from.
std::string QtPlatformsFolder();
// Whether Qt's Wayland platform plugin (libqwayland-*.so) is in that folder.
bool HasWaylandPlugin(const std::string& platformsFolder);

// Why Qt will find no display for the window, told before Qt starts, since Qt aborts then.
// Nothing when Qt is told to use another window system than X or Wayland (offscreen, vnc,
// ...), when it may use Wayland and has its plugin in `platformsFolder`, or when the X display
// answers. Where Wayland is asked for but the plugin is missing, the reason names its package.
std::optional<std::string> MissingDisplay(int argc, const char* const* argv, const EnvLookup& env,
                                          const DisplayProbe& answers,
                                          const std::string& platformsFolder);

// While it lives, a fatal error of Qt (no window system it could start, mostly) ends the
// program with one line on stderr and exit status 1 instead of an abort and a core dump.
// Meant for the construction of the application only; other messages go on as before.
class FatalStartGuard {
  public:
    FatalStartGuard();
    ~FatalStartGuard();
    FatalStartGuard(const FatalStartGuard&) = delete;
    FatalStartGuard& operator=(const FatalStartGuard&) = delete;
};

// Qt's own translations (standard buttons, file and colour dialogs) for `locale`; null when
// Qt has none for it. The program's own texts are not translated.
std::unique_ptr<QTranslator> QtTranslations(const QLocale& locale);

// "quillet: 'x.txt' is not opened: not a .qlf file".
std::string NotOpenedLine(const std::string& path, const std::string& reason);

// A message as one line for stderr: the text, then the detail, line breaks as spaces.
std::string MessageLine(const std::string& text, const std::string& detail);

// The Qt platform of the program. While the project named on the command line loads, each
// message shown is also written to stderr, for whoever started the program from a terminal.
class StartupPlatform : public QtPlatform {
  public:
    using QtPlatform::MsgBox;
    using QtPlatform::QtPlatform;
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons, const std::string& detail) override;

    void SetEchoToStderr(bool on) { echo_ = on; }

  private:
    bool echo_ = false;
};

} // namespace quillet
