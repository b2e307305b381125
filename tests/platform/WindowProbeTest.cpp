// Finding windows by class and title over a scripted desktop, and the TV
// player's windows (played by orvtt-tvplayer) as the X11 probe sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/WindowProbe.h"
#include "platform/qt/X11WindowProbe.h"

extern char** environ;

namespace orv {
namespace {

class ScriptedProbe : public WindowProbe {
public:
    explicit ScriptedProbe(std::vector<TopLevelWindow> windows) : windows_(std::move(windows)) {}
    std::vector<TopLevelWindow> TopLevelWindows() override {
        ++asked;
        return windows_;
    }
    int asked = 0;

private:
    std::vector<TopLevelWindow> windows_;
};

// A desktop with the TV player running beside an editor.
ScriptedProbe Desktop() {
    return ScriptedProbe({{"XTerm", "xterm"},
                          {"ORVPanel", "ORV VIDEO PLAYER"},
                          {"#32770", "Kanalsuche"},
                          {"ORVPanel", "second panel"},
                          {"", "ORV_Teletext"}});
}

TEST(WindowProbe, FindsWindowsByExactClass) {
    auto probe = Desktop();
    EXPECT_TRUE(HasWindowOfClass(probe, "ORVPanel"));
    EXPECT_TRUE(HasWindowOfClass(probe, "#32770"));
    EXPECT_FALSE(HasWindowOfClass(probe, "ORVPane"));
    EXPECT_FALSE(HasWindowOfClass(probe, "orvpanel"));
    // A title is not a class, even when it reads like one.
    EXPECT_FALSE(HasWindowOfClass(probe, "ORV_Teletext"));
}

TEST(WindowProbe, FindsWindowsByExactTitle) {
    auto probe = Desktop();
    EXPECT_TRUE(HasWindowTitled(probe, "ORV VIDEO PLAYER"));
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO"));
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO PLAYER "));
    EXPECT_FALSE(HasWindowTitled(probe, "XTerm"));
}

TEST(WindowProbe, FirstTitleOfClassTakesTheFirstInWindowOrder) {
    auto probe = Desktop();
    EXPECT_EQ(FirstTitleOfClass(probe, "ORVPanel"), "ORV VIDEO PLAYER");
    EXPECT_EQ(FirstTitleOfClass(probe, "XTerm"), "xterm");
    EXPECT_EQ(FirstTitleOfClass(probe, "Nothing"), std::nullopt);
    // A class with an empty title is still found, with that empty title.
    ScriptedProbe untitled(std::vector<TopLevelWindow>{{"ORV_Teletext", ""}});
    EXPECT_EQ(FirstTitleOfClass(untitled, "ORV_Teletext"), std::string());
}

TEST(WindowProbe, EmptyDesktopHasNothingAndEachQueryAsksAgain) {
    ScriptedProbe probe(std::vector<TopLevelWindow>{});
    EXPECT_FALSE(HasWindowOfClass(probe, ""));
    EXPECT_FALSE(HasWindowTitled(probe, ""));
    EXPECT_EQ(FirstTitleOfClass(probe, ""), std::nullopt);
    // Windows come and go: nothing is remembered between queries.
    EXPECT_EQ(probe.asked, 3);
}

// ---------------------------------------------------------------- the TV player on an X server

// Our own connection to the X server named by DISPLAY. A server left without
// clients resets itself (Xvfb does, between tests) and refuses connections for
// a moment; held open, this one keeps it up for the player started after it.
class XServer {
public:
    XServer() {
        for (int attempt = 0;; ++attempt) {
            c_ = xcb_connect(nullptr, nullptr);
            if (!xcb_connection_has_error(c_) || attempt == 40) break;
            xcb_disconnect(c_);
            ::usleep(50'000);
        }
        stacking_ = Atom("_NET_CLIENT_LIST_STACKING");
    }
    ~XServer() { xcb_disconnect(c_); }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool Ok() const { return !xcb_connection_has_error(c_); }

    // The top-level window with that WM_NAME; none when there is none.
    xcb_window_t Titled(std::string_view title) {
        const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c_, xcb_query_tree(c_, Root()), nullptr));
        if (!tree) return XCB_WINDOW_NONE;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const auto cookie =
                xcb_get_property(c_, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
            const Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(c_, cookie, nullptr));
            if (name && std::string_view(static_cast<const char*>(xcb_get_property_value(name.get())),
                                         static_cast<std::size_t>(xcb_get_property_value_length(name.get()))) == title)
                return children[i];
        }
        return XCB_WINDOW_NONE;
    }

    // The window manager's list of its clients on the root, bottom to top.
    bool HasStackingList() {
        const auto cookie = xcb_get_property(c_, 0, Root(), stacking_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0);
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c_, cookie, nullptr));
        return reply && reply->type != XCB_ATOM_NONE;
    }
    void SetStackingList(const std::vector<xcb_window_t>& bottomToTop) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, Root(), stacking_, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(bottomToTop.size()), bottomToTop.data());
        Sync();
    }
    void DeleteStackingList() {
        xcb_delete_property(c_, Root(), stacking_);
        Sync();
    }

private:
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    template <typename T>
    using Reply = std::unique_ptr<T, Free>;

    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }
    xcb_atom_t Atom(std::string_view name) {
        const auto cookie = xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(name.size()), name.data());
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c_, cookie, nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_ = nullptr;
    xcb_atom_t stacking_ = XCB_ATOM_NONE;
};

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~Fd() { Reset(); }
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

struct Pipe {
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        read = Fd(fds[0]);
        write = Fd(fds[1]);
    }
    Fd read, write;
};

// A player gone before its input is written to must fail the test, not end it.
class SigpipeIgnored {
public:
    SigpipeIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~SigpipeIgnored() { ::sigaction(SIGPIPE, &previous_, nullptr); }
    SigpipeIgnored(const SigpipeIgnored&) = delete;
    SigpipeIgnored& operator=(const SigpipeIgnored&) = delete;

private:
    struct sigaction previous_ {};
};

enum class PlayerDisplay { Inherited, Unset };

// orvtt-tvplayer as a child process, driven line by line through pipes.
class TvPlayerProcess {
public:
    explicit TvPlayerProcess(PlayerDisplay display = PlayerDisplay::Inherited) {
        Pipe toPlayer, fromPlayer;
        if (toPlayer.read.Get() < 0 || fromPlayer.read.Get() < 0) return;
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, toPlayer.read.Get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&files, fromPlayer.write.Get(), STDOUT_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        std::vector<char*> env;
        for (char** entry = environ; *entry; ++entry)
            if (display == PlayerDisplay::Inherited || std::strncmp(*entry, "DISPLAY=", 8) != 0) env.push_back(*entry);
        env.push_back(nullptr);
        char program[] = ORVTT_TVPLAYER;
        char* const argv[] = {program, nullptr};
        if (::posix_spawn(&pid_, program, &files, &attributes, argv, env.data()) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
        input_ = std::move(toPlayer.write);
        output_ = std::move(fromPlayer.read);
    }
    ~TvPlayerProcess() {
        if (Finish() == kStillRunning) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TvPlayerProcess(const TvPlayerProcess&) = delete;
    TvPlayerProcess& operator=(const TvPlayerProcess&) = delete;

    // Its answer to one command; empty when none comes.
    std::string Ask(std::string_view command) {
        std::string line(command);
        line += '\n';
        for (std::size_t sent = 0; sent < line.size();) {
            const ssize_t n = ::write(input_.Get(), line.data() + sent, line.size() - sent);
            if (n <= 0) return {};
            sent += static_cast<std::size_t>(n);
        }
        return ReadLine();
    }

    // Ends its input and waits for its end: its exit status, or -1 for a
    // signal, kStillRunning when it does not end.
    int Finish() {
        input_.Reset();
        if (pid_ <= 0) return status_;
        for (int waited = 0; waited < 200; ++waited) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return status_;
            }
            ::usleep(50'000);
        }
        return kStillRunning;
    }

    static constexpr int kStillRunning = -2;

private:
    std::string ReadLine() {
        for (;;) {
            if (const auto end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            pollfd ready{output_.Get(), POLLIN, 0};
            if (::poll(&ready, 1, 10'000) <= 0) return {};
            char chunk[256];
            const ssize_t n = ::read(output_.Get(), chunk, sizeof chunk);
            if (n <= 0) return {};
            pending_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    SigpipeIgnored sigpipe_;
    pid_t pid_ = -1;
    int status_ = -1;
    Fd input_, output_;
    std::string pending_;
};

constexpr std::string_view kDialogClass = "#32770";

class TvPlayerWindows : public testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "no X server (the test command runs these under xvfb-run)";
        x_.emplace();
        if (!x_->Ok()) GTEST_SKIP() << "X server not reachable";
        player_.emplace();
    }

    std::optional<XServer> x_;
    std::optional<TvPlayerProcess> player_;
};

TEST_F(TvPlayerWindows, TheProbeFindsThemTopmostFirstWhileTheyAreOpen) {
    TvPlayerProcess& player = *player_;
    X11WindowProbe probe;
    ASSERT_EQ(player.Ask("panel"), "ok");
    EXPECT_EQ(FirstTitleOfClass(probe, "ORVPanel"), "TV Panel");
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO PLAYER"));
    ASSERT_EQ(player.Ask("player"), "ok");
    EXPECT_TRUE(HasWindowTitled(probe, "ORV VIDEO PLAYER"));
    EXPECT_FALSE(HasWindowOfClass(probe, kDialogClass));

    // A new window opens on top of the others; a raised one goes back there.
    ASSERT_EQ(player.Ask("dialog tv sender"), "ok");
    ASSERT_EQ(player.Ask("dialog Aufnahme"), "ok");
    EXPECT_EQ(FirstTitleOfClass(probe, kDialogClass), "Aufnahme");
    ASSERT_EQ(player.Ask("raise dialog tv sender"), "ok");
    EXPECT_EQ(FirstTitleOfClass(probe, kDialogClass), "tv sender");
    ASSERT_EQ(player.Ask("raise dialog"), "ok");  // the last one opened
    EXPECT_EQ(FirstTitleOfClass(probe, kDialogClass), "Aufnahme");

    ASSERT_EQ(player.Ask("close dialog"), "ok");
    EXPECT_EQ(FirstTitleOfClass(probe, kDialogClass), "tv sender");
    ASSERT_EQ(player.Ask("close dialog"), "ok");
    EXPECT_FALSE(HasWindowOfClass(probe, kDialogClass));
    EXPECT_EQ(player.Ask("close dialog").rfind("error ", 0), 0u);
    ASSERT_EQ(player.Ask("close player"), "ok");
    EXPECT_FALSE(HasWindowTitled(probe, "ORV VIDEO PLAYER"));
    EXPECT_TRUE(HasWindowOfClass(probe, "ORVPanel"));
    EXPECT_EQ(player.Ask("switch channel").rfind("error ", 0), 0u);

    // Quitting closes the rest.
    ASSERT_EQ(player.Ask("quit"), "ok");
    EXPECT_EQ(player.Finish(), 0);
    EXPECT_FALSE(HasWindowOfClass(probe, "ORVPanel"));

    // Without an X server to open them on the player says so and ends.
    TvPlayerProcess lost(PlayerDisplay::Unset);
    EXPECT_EQ(lost.Finish(), 2);
}

TEST_F(TvPlayerWindows, TheWindowManagersStackingListDecidesOverTheServersOrder) {
    // Only on a server of our own: a real desktop's list is not ours to change.
    if (x_->HasStackingList()) GTEST_SKIP() << "a window manager runs";
    TvPlayerProcess& player = *player_;
    ASSERT_EQ(player.Ask("panel"), "ok");
    std::vector<xcb_window_t> dialogs;
    for (const std::string title : {"tv sender", "Aufnahme", "Kanalsuche"}) {
        ASSERT_EQ(player.Ask("dialog " + title), "ok");
        dialogs.push_back(x_->Titled(title));
        ASSERT_NE(dialogs.back(), xcb_window_t(XCB_WINDOW_NONE)) << title;
    }

    // The manager stacks the middle one on top (by its frames, not there on
    // this server), unlike the server's order either way round, and unlike
    // its own list read the wrong way round.
    x_->SetStackingList({dialogs[2], dialogs[0], dialogs[1]});
    X11WindowProbe probe;
    const auto first = FirstTitleOfClass(probe, kDialogClass);
    // The panel it does not list is found all the same.
    const bool panel = HasWindowOfClass(probe, "ORVPanel");
    x_->DeleteStackingList();
    EXPECT_EQ(first, "Aufnahme");
    EXPECT_TRUE(panel);
}

}  // namespace
}  // namespace orv
