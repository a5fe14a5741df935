#include "platform/qt/command_line.h"

#include <QLibrary>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace quillet {

namespace {

// Qt takes "--name" for its option "-name".
bool IsQtOption(std::string_view arg, std::string_view name) {
    if (arg.starts_with("--")) {
        arg.remove_prefix(1);
    }
    return arg.size() == name.size() + 1 && arg.front() == '-' && arg.substr(1) == name;
}

// The value of the last "-name value" on the command line, as Qt reads it; nothing without.
std::optional<std::string> QtOptionValue(int argc, const char* const* argv, std::string_view name) {
    std::optional<std::string> value;
    for (int i = 1; i < argc; ++i) {
        if (IsQtOption(argv[i], name) && i + 1 < argc) {
            value = argv[++i];
        }
    }
    return value;
}

// Whether every entry of a platform list like "xcb", "xcb:option" or "wayland;xcb" is one
// that `matches` (the plugin's name, without its options).
template <class Match> bool EveryEntry(std::string_view platform, Match matches) {
    while (true) {
        const std::size_t end = platform.find(';');
        const std::string_view entry = platform.substr(0, end);
        if (!matches(entry.substr(0, entry.find(':')))) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        platform.remove_prefix(end + 1);
    }
}

// Qt's Wayland plugins are "wayland", "wayland-egl" and "wayland-generic".
bool IsWayland(std::string_view name) {
    return name.starts_with("wayland");
}

// Leaves Qt no other choice than X.
bool OnlyX(std::string_view platform) {
    return EveryEntry(platform, [](std::string_view name) { return name == "xcb"; });
}

// X or Wayland, nothing else.
bool XOrWayland(std::string_view platform) {
    return EveryEntry(platform,
                      [](std::string_view name) { return name == "xcb" || IsWayland(name); });
}

constexpr const char* NO_WAYLAND_PLUGIN =
    "Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)";

// Line breaks (CR LF in the program's messages) as single spaces; paths keep their spaces.
std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return line;
}

// The handler FatalStartGuard replaced; a message handler is a plain function.
QtMessageHandler previousHandler = nullptr;

void FatalToExit(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (previousHandler != nullptr) {
            previousHandler(type, context, message);
        }
        return;
    }
    const QString first = message.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "quillet: cannot open a window: %s\n", first.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

InfoRequest FindInfoRequest(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            return InfoRequest::Help;
        }
        if (arg == "--version") {
            return InfoRequest::Version;
        }
    }
    return InfoRequest::None;
}

std::string HelpText() {
    return "Usage: quillet [FILE.qlf]\n"
           "Draws patterns of regular polygons that share corners and sides; opens FILE.qlf,\n"
           "a Quillet project, when it is given.\n"
           "\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n";
}

std::string VersionText(std::string_view version) {
    return "quillet " + std::string(version) + "\n";
}

std::string EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool XDisplayAnswers(const std::string& display) {
    struct Connection;
    using Connect = Connection* (*)(const char*, int*);
    using HasError = int (*)(Connection*);
    using Disconnect = void (*)(Connection*);
    QLibrary xcb(QStringLiteral("xcb"), 1);
    const auto connect = reinterpret_cast<Connect>(xcb.resolve("xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(xcb.resolve("xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(xcb.resolve("xcb_disconnect"));
    if (connect == nullptr || hasError == nullptr || disconnect == nullptr) {
        return true;
    }
    // Never null: a failed connection is an object that reports its error.
    Connection* connection = connect(display.c_str(), nullptr);
    const bool answers = hasError(connection) == 0;
    disconnect(connection);
    return answers;
}

std::string QtPlatformsFolder() {
    return (QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"))
        .toStdString();
}

bool HasWaylandPlugin(const std::string& platformsFolder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(platformsFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("libqwayland-") && name.ends_with(".so")) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> MissingDisplay(int argc, const char* const* argv, const EnvLookup& env,
                                          const DisplayProbe& answers,
                                          const std::string& platformsFolder) {
    // Qt's choice: -platform over QT_QPA_PLATFORM over its own default, which takes Wayland
    // where WAYLAND_DISPLAY is set and X otherwise, and X when Wayland cannot be had.
    const std::string platform =
        QtOptionValue(argc, argv, "platform").value_or(env("QT_QPA_PLATFORM"));
    const bool waylandAsked = platform.empty() ? !env("WAYLAND_DISPLAY").empty()
                                               : !OnlyX(platform) && XOrWayland(platform);
    if (!platform.empty() && !XOrWayland(platform)) {
        return std::nullopt;
    }
    const bool noWaylandPlugin = waylandAsked && !HasWaylandPlugin(platformsFolder);
    if (waylandAsked && !noWaylandPlugin) {
        return std::nullopt;
    }
    if (!platform.empty() && EveryEntry(platform, IsWayland)) {
        return std::string(NO_WAYLAND_PLUGIN);
    }
    // Qt's xcb plugin takes -display over DISPLAY.
    const std::string display = QtOptionValue(argc, argv, "display").value_or(env("DISPLAY"));
    const std::string besides = noWaylandPlugin ? std::string(", and ") + NO_WAYLAND_PLUGIN : "";
    if (display.empty()) {
        return "no display to open the window on (DISPLAY is not set" + besides +
               "); start it from a desktop session, or on a virtual display with xvfb-run -a";
    }
    if (!answers(display)) {
        return "cannot connect to the display '" + display + "'" +
               (noWaylandPlugin ? std::string(" (") + NO_WAYLAND_PLUGIN + ")" : "");
    }
    return std::nullopt;
}

FatalStartGuard::FatalStartGuard() {
    previousHandler = qInstallMessageHandler(FatalToExit);
}

FatalStartGuard::~FatalStartGuard() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}

std::unique_ptr<QTranslator> QtTranslations(const QLocale& locale) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->isEmpty()) {
        return nullptr;
    }
    return translator;
}

std::string NotOpenedLine(const std::string& path, const std::string& reason) {
    return "quillet: '" + path + "' is not opened: " + reason;
}

std::string MessageLine(const std::string& text, const std::string& detail) {
    std::string line = "quillet: " + OneLine(text);
    if (!detail.empty()) {
        line += ": " + OneLine(detail);
    }
    return line;
}

MsgResult StartupPlatform::MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                                  MsgButtons buttons, const std::string& detail) {
    if (echo_) {
        std::fprintf(stderr, "%s\n", MessageLine(text, detail).c_str());
        std::fflush(stderr);
    }
    return QtPlatform::MsgBox(text, title, icon, buttons, detail);
}

} // namespace quillet
