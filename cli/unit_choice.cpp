#include "unit_choice.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "number_text.h"
#include "rudid32.h"
#include "bounded_file.h"
#include "replace_file.h"
#include "unit_file.h"

namespace rudid::cli {

namespace {

constexpr const char *kTables[] = {"zarude.dat", "vevuzu.dat", "didizar.dat"};

// A user's units file names a unit per line for at most the 26 quantities;
// one this large is not one.
constexpr std::size_t kLargestUserUnitFile = 64 * 1024;

volatile pid_t gChild = 0;  // the run under the view, for the signal handler

void PassOn(int signal) {
    if (gChild > 0) ::kill(gChild, signal);
}

bool ParseOne(std::string_view text, UnitChoice *choice, std::string *error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        *error = "\"" + std::string(text) + "\" is not QUANTITY=UNIT";
        return false;
    }
    const std::string name(TrimBlanks(text.substr(0, equals)));
    const std::string unit(TrimBlanks(text.substr(equals + 1)));
    const QuantityInfo *quantity = FindQuantity(name);
    if (!quantity || IsReserved(*quantity) || quantity->units.empty()) {
        *error = "no quantity with units called \"" + name + "\" (see rudid32 units)";
        return false;
    }
    if (quantity->selectionWord != quantity->code) {
        *error = quantity->name + " follows the unit of " + Quantities()[std::size_t(quantity->selectionWord)].name;
        return false;
    }
    const std::optional<int> index = FindUnitIndex(*quantity, unit);
    if (!index) {
        std::string names;
        for (const std::string &known : quantity->units) names += (names.empty() ? "" : " ") + known;
        *error = quantity->name + " has no unit \"" + unit + "\"; choose one of: " + names;
        return false;
    }
    *choice = {quantity, *index};
    return true;
}

std::string DirectoryOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

bool MakeDirectories(const std::string &path) {
    if (path.empty()) return true;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    if (!MakeDirectories(DirectoryOf(path))) return false;
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WriteText(const std::string &path, const std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

void RemoveView(const std::string &directory) {
    for (const char *name : kTables) ::unlink((directory + "/" + name).c_str());
    ::unlink((directory + "/default.cfg").c_str());
    ::unlink((directory + "/ZAREVIRU.INI").c_str());
    ::rmdir(directory.c_str());
}

// The place for the views: TMPDIR, or /tmp.
std::string TemporaryDirectory() {
    const char *temporary = std::getenv("TMPDIR");
    return temporary && *temporary ? temporary : "/tmp";
}

constexpr const char kViewPrefix[] = "rudid32-units-";

// A view whose run was killed before it could remove it (SIGKILL, a power
// cut): a directory of ours with the view's name, older than a minute,
// whose lock no process holds. Every run holds a lock on its view from
// creation to removal, and its child inherits it, so the lock ends only
// with both processes.
bool IsStaleView(const std::string &path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
        std::time(nullptr) - status.st_mtime <= 60)
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool unlocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return unlocked;
}

void RemoveStaleViews() {
    const std::string directory = TemporaryDirectory();
    DIR *entries = ::opendir(directory.c_str());
    if (!entries) return;
    while (const dirent *entry = ::readdir(entries)) {
        if (std::strncmp(entry->d_name, kViewPrefix, sizeof kViewPrefix - 1) != 0) continue;
        const std::string path = directory + "/" + entry->d_name;
        if (IsStaleView(path)) RemoveView(path);
    }
    ::closedir(entries);
}

// A directory that the library reads as its data directory: the tables
// linked from the installation's, default.cfg with the choices applied.
bool MakeView(const std::vector<UnitChoice> &choices, std::string *directory, std::string *error) {
    RemoveStaleViews();
    std::string pattern = TemporaryDirectory() + "/" + kViewPrefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        *error = "cannot create a directory " + pattern + ": " + std::strerror(errno);
        return false;
    }
    *directory = pattern;
    // Held, without close-on-exec, by this run and the run under the view
    // until both end: tells later runs that the view is in use.
    const int lock = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        *error = "cannot lock the directory " + pattern + ": " + std::strerror(errno);
        return false;
    }
    const std::string installed = RudidDataDirectory();
    for (const char *name : kTables)
        if (::symlink((installed + name).c_str(), (pattern + "/" + name).c_str()) != 0) {
            *error = "cannot link the tables into " + pattern + ": " + std::strerror(errno);
            return false;
        }
    UnitFile file;
    if (!ReadUnitFile(UnitFilePath(), &file, error)) return false;
    for (const UnitChoice &choice : choices)
        StoreSelection(&file.bytes, choice.quantity->selectionWord, std::int16_t(choice.selection));
    std::string ignored;
    const std::string_view bytes(reinterpret_cast<const char *>(file.bytes.data()), file.bytes.size());
    if (!ReplaceFileAtomically(pattern + "/default.cfg", bytes, &ignored) ||
        !WriteText(pattern + "/ZAREVIRU.INI", "[STARTUP]\nDIR=" + pattern + "\n")) {
        *error = "cannot write the unit configuration in " + pattern;
        return false;
    }
    return true;
}

}  // namespace

bool ParseUnitChoices(std::string_view text, std::vector<UnitChoice> *choices, std::string *error) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(",\n");
        const std::string_view item = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (item.empty() || item.front() == '#') continue;
        UnitChoice choice;
        if (!ParseOne(item, &choice, error)) return false;
        choices->push_back(choice);
    }
    return true;
}

std::string UserUnitFilePath() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/rudid32/units";
    const char *home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/rudid32/units";
    return "";
}

bool ReadUserUnits(std::vector<UnitChoice> *choices, std::string *error) {
    const std::string path = UserUnitFilePath();
    if (path.empty()) return true;
    std::string text;
    switch (ReadBoundedFile(path, kLargestUserUnitFile, &text, error)) {
        case FileRead::Missing: return true;
        case FileRead::Refused: return false;
        case FileRead::Read: break;
    }
    if (!ParseUnitChoices(text, choices, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool StoreUserUnit(const UnitChoice &choice, std::string *error) {
    const std::string path = UserUnitFilePath();
    if (path.empty()) {
        *error = "neither XDG_CONFIG_HOME nor HOME is set: no place for a user's units";
        return false;
    }
    std::vector<UnitChoice> choices;
    if (!ReadUserUnits(&choices, error)) return false;
    std::string text = "# Units of rudid32 for this user (rudid32 units set --user QUANTITY UNIT).\n";
    for (const UnitChoice &kept : choices)
        if (kept.quantity != choice.quantity)
            text += kept.quantity->name + " = " + kept.quantity->units[std::size_t(kept.selection)] + "\n";
    text += choice.quantity->name + " = " + choice.quantity->units[std::size_t(choice.selection)] + "\n";
    if (!MakeDirectories(DirectoryOf(path))) {
        *error = "cannot create the directory " + DirectoryOf(path) + ": " + std::strerror(errno);
        return false;
    }
    return ReplaceFileAtomically(path, text, error);
}

int RunUnderUnitView(char **argv, const std::vector<UnitChoice> &choices, const std::string &origin) {
    std::string directory, error;
    if (!MakeView(choices, &directory, &error)) {
        if (!directory.empty()) RemoveView(directory);
        std::fprintf(stderr, "rudid32: %s\n", error.c_str());
        return 3;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("ZAREVIRU_INI", (directory + "/ZAREVIRU.INI").c_str(), 1);
        ::setenv(kUnitViewVariable, origin.c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::fprintf(stderr, "rudid32: cannot run itself again: %s\n", std::strerror(errno));
        std::_Exit(3);
    }
    // The view stays until the run under it ends, whatever ends it: a
    // terminal's interrupt reaches both and the child decides; a signal sent
    // to this process alone is passed on.
    gChild = child;
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, PassOn);
    std::signal(SIGHUP, PassOn);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    RemoveView(directory);
    if (child < 0) {
        std::fprintf(stderr, "rudid32: cannot start: %s\n", std::strerror(errno));
        return 3;
    }
    if (WIFSIGNALED(status)) {
        std::signal(WTERMSIG(status), SIG_DFL);
        ::raise(WTERMSIG(status));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}

}  // namespace rudid::cli
