// orvtt-tvplayer: plays the TV player's windows on an X server, so that the
// viewer's watch for the player can be tried against real windows.
//
// One command a line on standard input, each answered on standard output with
// "ok" once the X server has the change, or "error <why>":
//   panel | player | dialog <title>     open the control panel (class
//                                       "ORVPanel"), the video window (title
//                                       "ORV VIDEO PLAYER") or a dialog (class
//                                       "#32770") with that title
//   raise <which> | close <which>       which: panel, player, dialog (the last
//                                       dialog opened) or dialog <title>
//   quit                                closes everything and ends (so does the
//                                       end of input)
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Longer command lines are refused: no command needs more.
constexpr std::size_t kMaxLine = 4096;

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// One window on the server, destroyed with this object.
class Window {
public:
    Window(xcb_connection_t* c, xcb_window_t id, std::string title) : c_(c), id_(id), title_(std::move(title)) {}
    Window(Window&& other) noexcept
        : c_(other.c_), id_(std::exchange(other.id_, XCB_WINDOW_NONE)), title_(std::move(other.title_)) {}
    Window& operator=(Window&& other) noexcept {
        if (this != &other) {
            Destroy();
            c_ = other.c_;
            id_ = std::exchange(other.id_, XCB_WINDOW_NONE);
            title_ = std::move(other.title_);
        }
        return *this;
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() { Destroy(); }

    xcb_window_t Id() const { return id_; }
    const std::string& Title() const { return title_; }

private:
    void Destroy() {
        if (id_ != XCB_WINDOW_NONE) xcb_destroy_window(c_, id_);
        id_ = XCB_WINDOW_NONE;
    }

    xcb_connection_t* c_;
    xcb_window_t id_;
    std::string title_;
};

struct Atoms {
    xcb_atom_t NetWmName = XCB_ATOM_NONE;
    xcb_atom_t Utf8String = XCB_ATOM_NONE;
    xcb_atom_t WindowType = XCB_ATOM_NONE;
    xcb_atom_t DialogType = XCB_ATOM_NONE;
};

Atoms InternAtoms(xcb_connection_t* c) {
    auto ask = [c](std::string_view name) {
        return xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
    };
    const xcb_intern_atom_cookie_t cookies[] = {ask("_NET_WM_NAME"), ask("UTF8_STRING"), ask("_NET_WM_WINDOW_TYPE"),
                                                ask("_NET_WM_WINDOW_TYPE_DIALOG")};
    xcb_atom_t atoms[std::size(cookies)] = {};
    for (std::size_t i = 0; i < std::size(cookies); ++i) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, cookies[i], nullptr), &std::free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    return {atoms[0], atoms[1], atoms[2], atoms[3]};
}

struct Look {
    std::string_view Instance, Class, Title;
    bool Dialog = false;
};

class Desktop {
public:
    explicit Desktop(xcb_connection_t* c)
        : c_(c), screen_(xcb_setup_roots_iterator(xcb_get_setup(c)).data), atoms_(InternAtoms(c)) {}

    Window Open(const Look& look) {
        const xcb_window_t id = xcb_generate_id(c_);
        const std::uint32_t background = screen_->white_pixel;
        // Each window a little off the last, so that a person watching sees them all.
        const auto offset = static_cast<std::int16_t>(opened_++ % 10 * 20);
        const std::uint16_t width = look.Dialog ? 240 : 320, height = look.Dialog ? 120 : 240;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, id, screen_->root, offset, offset, width, height, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL, &background);
        std::string wmClass(look.Instance);
        wmClass += '\0';
        wmClass += look.Class;
        wmClass += '\0';
        SetText(id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
        SetTitle(id, look.Title);
        if (look.Dialog && atoms_.WindowType != XCB_ATOM_NONE && atoms_.DialogType != XCB_ATOM_NONE)
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, id, atoms_.WindowType, XCB_ATOM_ATOM, 32, 1,
                                &atoms_.DialogType);
        xcb_map_window(c_, id);
        return Window(c_, id, std::string(look.Title));
    }

    void Raise(const Window& window) {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c_, window.Id(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }

    // Waits until the server has done what was asked; false once the
    // connection is lost.
    bool Sync() {
        xcb_flush(c_);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        // Nothing is selected, but errors about windows others destroyed queue up.
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) std::free(event);
        return !xcb_connection_has_error(c_);
    }

private:
    void SetText(xcb_window_t id, xcb_atom_t property, xcb_atom_t type, std::string_view text) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, id, property, type, 8, static_cast<std::uint32_t>(text.size()),
                            text.data());
    }

    // Both title properties: WM_NAME is Latin-1 by type STRING, so a title
    // beyond ASCII is marked as UTF-8 there too.
    void SetTitle(xcb_window_t id, std::string_view title) {
        bool ascii = true;
        for (const char ch : title) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
        const bool utf8 = atoms_.Utf8String != XCB_ATOM_NONE;
        SetText(id, XCB_ATOM_WM_NAME, ascii || !utf8 ? xcb_atom_t(XCB_ATOM_STRING) : atoms_.Utf8String, title);
        if (utf8 && atoms_.NetWmName != XCB_ATOM_NONE) SetText(id, atoms_.NetWmName, atoms_.Utf8String, title);
    }

    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    Atoms atoms_;
    int opened_ = 0;
};

// The words of a command line: the verb and the rest after one space.
std::pair<std::string_view, std::string_view> Split(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

class TvPlayer {
public:
    explicit TvPlayer(xcb_connection_t* c) : desktop_(c) {}

    // The answer to one command line.
    std::string Run(std::string_view line) {
        const auto [verb, rest] = Split(line);
        if (verb == "panel" && rest.empty()) return Open(panel_, {"orvpanel", "ORVPanel", "TV Panel"});
        if (verb == "player" && rest.empty()) return Open(player_, {"orvtvplayer", "OrvTvPlayer", "ORV VIDEO PLAYER"});
        if (verb == "dialog") {
            dialogs_.push_back(desktop_.Open({"orvtvplayer", "#32770", rest, true}));
            return Synced();
        }
        if (verb == "raise" || verb == "close") {
            const bool raise = verb == "raise";
            const auto [which, title] = Split(rest);
            if (which == "dialog") return raise ? RaiseDialog(title) : CloseDialog(title);
            if (!title.empty()) return "error " + std::string(which) + " takes no title";
            if (which == "panel") return raise ? RaiseOne(panel_) : CloseOne(panel_);
            if (which == "player") return raise ? RaiseOne(player_) : CloseOne(player_);
            return "error " + std::string(verb) + " what: panel, player or dialog";
        }
        if (verb == "quit" && rest.empty()) {
            CloseAll();
            done_ = true;
            return Synced();
        }
        return "error unknown command";
    }

    void CloseAll() {
        dialogs_.clear();
        player_.reset();
        panel_.reset();
        desktop_.Sync();
    }
    bool Done() const { return done_; }

private:
    std::string Synced() {
        if (desktop_.Sync()) return "ok";
        done_ = true;
        return "error the X server connection is lost";
    }

    std::string Open(std::optional<Window>& window, const Look& look) {
        if (window) return "error already open";
        window.emplace(desktop_.Open(look));
        return Synced();
    }
    std::string RaiseOne(const std::optional<Window>& window) {
        if (!window) return "error not open";
        desktop_.Raise(*window);
        return Synced();
    }
    std::string CloseOne(std::optional<Window>& window) {
        if (!window) return "error not open";
        window.reset();
        return Synced();
    }

    // The last dialog opened with that title, or the last one of all without a title.
    std::vector<Window>::iterator FindDialog(std::string_view title) {
        for (auto it = dialogs_.end(); it != dialogs_.begin();) {
            --it;
            if (title.empty() || it->Title() == title) return it;
        }
        return dialogs_.end();
    }
    std::string RaiseDialog(std::string_view title) {
        const auto dialog = FindDialog(title);
        if (dialog == dialogs_.end()) return "error no such dialog";
        desktop_.Raise(*dialog);
        return Synced();
    }
    std::string CloseDialog(std::string_view title) {
        const auto dialog = FindDialog(title);
        if (dialog == dialogs_.end()) return "error no such dialog";
        dialogs_.erase(dialog);
        return Synced();
    }

    Desktop desktop_;
    std::optional<Window> panel_, player_;
    std::vector<Window> dialogs_;
    bool done_ = false;
};

// One line of input without its end (and a CR before it); none at the end of
// input. A line too long comes back empty and marked, its rest read and dropped.
struct Line {
    std::string Text;
    bool TooLong = false;
};
std::optional<Line> ReadLine(std::FILE* in) {
    Line line;
    int ch = 0;
    bool any = false;
    while ((ch = std::getc(in)) != EOF && ch != '\n') {
        any = true;
        if (line.Text.size() < kMaxLine)
            line.Text += static_cast<char>(ch);
        else
            line.TooLong = true;
    }
    if (!any && ch == EOF) return std::nullopt;
    if (line.TooLong) line.Text.clear();
    if (!line.Text.empty() && line.Text.back() == '\r') line.Text.pop_back();
    return line;
}

void Answer(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("orvtt-tvplayer: DISPLAY is not set: no X server to open the windows on\n", stderr);
        return 2;
    }
    const Connection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) {
        std::fputs("orvtt-tvplayer: the X server named by DISPLAY cannot be reached\n", stderr);
        return 2;
    }
    TvPlayer player(connection.get());
    while (!player.Done()) {
        const auto line = ReadLine(stdin);
        if (!line) break;
        Answer(line->TooLong ? "error line too long" : player.Run(line->Text));
    }
    player.CloseAll();
    return xcb_connection_has_error(connection.get()) ? 1 : 0;
}
